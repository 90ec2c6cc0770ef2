#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/DList.h"

namespace {
struct Counted {
    static int live;
    int v;
    Counted(int x) : v(x) { ++live; }
    Counted(const Counted& o) : v(o.v) { ++live; }
    Counted& operator=(const Counted&) = default;
    ~Counted() { --live; }
};
int Counted::live = 0;

template <class T>
std::vector<int> Values(const DList<T>& l) {
    std::vector<int> out;
    for (auto it = l.Begin(); it; it.Next()) out.push_back(it.Value().v);
    return out;
}
} // namespace

TEST(DList, AppendWalkAndClear) {
    {
        DList<Counted> l;
        auto* first = l.AddTail(Counted(1));
        EXPECT_EQ(l.GetHead(), first);
        EXPECT_EQ(l.GetTail(), first);
        EXPECT_EQ(first->prev, nullptr);
        EXPECT_EQ(first->next, nullptr);
        EXPECT_EQ(first->owner, &l);
        l.AddTail(Counted(2));
        l.AddTail(Counted(3));
        EXPECT_EQ(Values(l), (std::vector<int>{1, 2, 3}));
        EXPECT_EQ(l.GetTail()->prev->data.v, 2);
        EXPECT_EQ(Counted::live, 3);
        l.RemoveAll();
        EXPECT_TRUE(l.IsEmpty());
        EXPECT_EQ(Counted::live, 0);
        l.AddTail(Counted(9));
    }
    EXPECT_EQ(Counted::live, 0);
}

TEST(DList, AssignmentCopiesAndSelfAssignmentKeeps) {
    DList<Counted> a;
    for (int i = 1; i <= 3; ++i) a.AddTail(Counted(i));
    DList<Counted> b;
    b.AddTail(Counted(99));
    b = a;
    EXPECT_EQ(Values(b), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(b.GetHead()->owner, &b);
    DList<Counted>& alias = a;
    a = alias;
    EXPECT_EQ(Values(a), (std::vector<int>{1, 2, 3}));
    a = DList<Counted>(a);
    EXPECT_EQ(Values(a), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(a.GetTail()->owner, &a);
}

TEST(DList, LinkTailSetsOwnerAndRefusesForeignNodes) {
    DList<Counted> a, b;
    auto* n = new DList<Counted>::Node(Counted(5));
    EXPECT_EQ(a.LinkTail(n), n);
    EXPECT_EQ(n->owner, &a);
    EXPECT_EQ(b.LinkTail(n), nullptr);
    EXPECT_TRUE(b.IsEmpty());
    DList<Counted>::Node copy(*n);
    EXPECT_EQ(copy.owner, nullptr);
    EXPECT_EQ(copy.next, nullptr);
    EXPECT_EQ(copy.data.v, 5);
}

TEST(DList, PointerElementsAreNotDeleted) {
    Counted* p = new Counted(1);
    {
        DList<Counted*> l;
        l.AddTail(p);
    }
    EXPECT_EQ(p->v, 1);
    delete p;
}

TEST(DList, RemoveNodeRelinksAndFreesOnlyItsOwnNodes) {
    {
        DList<Counted> a, b;
        auto* n1 = a.AddTail(Counted(1));
        auto* n2 = a.AddTail(Counted(2));
        auto* n3 = a.AddTail(Counted(3));
        a.AddTail(Counted(4));
        auto* other = b.AddTail(Counted(9));
        a.RemoveNode(other);  // not a's: left alone
        EXPECT_EQ(Values(b), std::vector<int>{9});
        a.RemoveNode(n2);
        EXPECT_EQ(Values(a), (std::vector<int>{1, 3, 4}));
        EXPECT_EQ(n3->prev, n1);
        a.RemoveNode(n1);
        EXPECT_EQ(a.GetHead(), n3);
        EXPECT_EQ(n3->prev, nullptr);
        a.RemoveNode(a.GetTail());
        EXPECT_EQ(a.GetTail(), n3);
        EXPECT_EQ(n3->next, nullptr);
        a.RemoveNode(n3);
        EXPECT_TRUE(a.IsEmpty());
        EXPECT_EQ(a.GetTail(), nullptr);
        EXPECT_EQ(Counted::live, 1);
    }
    EXPECT_EQ(Counted::live, 0);
}
