// DList: doubly linked list owning its nodes; walked forwards with an iterator.
// Elements that are pointers are not deleted by the list.
#pragma once

#include <cassert>
#include <utility>

template <class T>
class DList {
public:
    struct Node {
        Node* prev = nullptr;
        Node* next = nullptr;
        DList* owner = nullptr;
        T data;

        Node() = default;
        explicit Node(const T& d) : data(d) {}
        explicit Node(T&& d) : data(std::move(d)) {}
        // A copied node is not linked anywhere.
        Node(const Node& o) : data(o.data) {}
        Node& operator=(const Node& o) {
            data = o.data;
            return *this;
        }
    };

    class Iterator {
    public:
        Iterator() = default;
        explicit Iterator(const DList& list) : cur_(list.head_) {}
        explicit Iterator(Node* n) : cur_(n) {}
        T& Value() const {
            assert(cur_ && "DList::Iterator::Value past the end");
            return cur_->data;
        }
        Node* Next() { return cur_ = cur_ ? cur_->next : nullptr; }
        Node* Current() const { return cur_; }
        bool AtEnd() const { return cur_ == nullptr; }
        explicit operator bool() const { return cur_ != nullptr; }

    private:
        Node* cur_ = nullptr;
    };

    DList() = default;
    DList(const DList& o) { CopyFrom(o); }
    DList(DList&& o) noexcept { Swap(o); }
    ~DList() { RemoveAll(); }

    DList& operator=(const DList& o) {
        if (this != &o) {
            DList tmp(o);
            RemoveAll();
            Swap(tmp);
        }
        return *this;
    }
    DList& operator=(DList&& o) noexcept {
        if (this != &o) {
            RemoveAll();
            Swap(o);
        }
        return *this;
    }

    Node* AddTail(const T& value) {
        Node* n = new Node(value);
        Link(n);
        return n;
    }
    Node* AddTail(T&& value) {
        Node* n = new Node(std::move(value));
        Link(n);
        return n;
    }

    // Links a node the caller built. A node that still belongs to a list is refused.
    Node* LinkTail(Node* node) {
        if (!node || node->owner) return nullptr;
        node->prev = node->next = nullptr;
        Link(node);
        return node;
    }

    // Unlinks and frees a node of this list; a node of another list is left alone.
    void RemoveNode(Node* n) {
        if (!n || n->owner != this) return;
        (n->prev ? n->prev->next : head_) = n->next;
        (n->next ? n->next->prev : tail_) = n->prev;
        delete n;
    }

    void RemoveAll() {
        Node* n = head_;
        head_ = tail_ = nullptr;
        while (n) {
            Node* next = n->next;
            n->owner = nullptr;
            delete n;
            n = next;
        }
    }

    bool IsEmpty() const { return head_ == nullptr; }
    Node* GetHead() const { return head_; }
    Node* GetTail() const { return tail_; }
    Iterator Begin() const { return Iterator(*this); }
    int Count() const {
        int c = 0;
        for (Node* n = head_; n; n = n->next) ++c;
        return c;
    }

    // Range-for support over the elements.
    struct It {
        Node* n;
        T& operator*() const { return n->data; }
        It& operator++() {
            n = n->next;
            return *this;
        }
        bool operator!=(const It& o) const { return n != o.n; }
    };
    It begin() const { return {head_}; }
    It end() const { return {nullptr}; }

private:
    void Link(Node* n) {
        n->owner = this;
        n->prev = tail_;
        n->next = nullptr;
        if (tail_) tail_->next = n;
        else head_ = n;
        tail_ = n;
    }
    void CopyFrom(const DList& o) {
        for (Node* n = o.head_; n; n = n->next) AddTail(n->data);
    }
    void Swap(DList& o) noexcept {
        std::swap(head_, o.head_);
        std::swap(tail_, o.tail_);
        for (Node* n = head_; n; n = n->next) n->owner = this;
        for (Node* n = o.head_; n; n = n->next) n->owner = &o;
    }

    Node* head_ = nullptr;
    Node* tail_ = nullptr;
};
