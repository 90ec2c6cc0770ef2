#include "viewer/document/PaperSize.h"

#include <gtest/gtest.h>

namespace {

struct IdCase {
    int id, width, height;
};
const IdCase kIds[] = {
    {0, 1820000, 2570000}, {1, 2100000, 2970000}, {2, 2570000, 3640000},
    {3, 2970000, 4200000}, {4, 2159000, 2794000},
};

int Width(const PaperSize& p) {
    int v = -1;
    return *p.GetWidth(&v);
}
int Height(const PaperSize& p) {
    int v = -1;
    return *p.GetHeight(&v);
}

TEST(PaperSize, EveryIdInBothOrientations) {
    for (const IdCase& c : kIds) {
        for (int orient : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "id " << c.id << " orientation " << orient);
            PaperSize p(c.id, orient);
            int w = 0, h = 0;
            p.GetPortraitSize(&w, &h);
            EXPECT_EQ(w, c.width);
            EXPECT_EQ(h, c.height);
            EXPECT_EQ(Width(p), orient ? c.height : c.width);
            EXPECT_EQ(Height(p), orient ? c.width : c.height);

            int id = 1000, o = -1;
            p.GetId(&id, &o);
            EXPECT_EQ(id, c.id);
            EXPECT_EQ(o, orient);

            // Settings keep the shown size; reading it back must give the same paper.
            PaperSize back = PaperSize::FromShownSize(Width(p), Height(p), orient);
            EXPECT_EQ(back, p);
            back.GetId(&id, &o);
            EXPECT_EQ(id, c.id);
            EXPECT_EQ(o, orient);

            PaperSize viaSetId(1000, orient);
            viaSetId.SetId(c.id);
            EXPECT_EQ(viaSetId, p);
        }
    }
}

TEST(PaperSize, UnknownIdsAreZeroAndLeaveTheCallersId) {
    for (int id : {7, -1, 5, 1000}) {
        PaperSize p(id, 0);
        EXPECT_EQ(Width(p), 0);
        EXPECT_EQ(Height(p), 0);
        int got = 42, o = -1;
        p.GetId(&got, &o);
        EXPECT_EQ(got, 42) << id;
    }
    PaperSize custom(1234567, 2345678, 1);
    int got = 1000, o = -1;
    custom.GetId(&got, &o);
    EXPECT_EQ(got, 1000);
    EXPECT_EQ(o, 1);
}

TEST(PaperSize, SwappedStandardPairIsNotFound) {
    PaperSize p(2970000, 2100000, 0);
    int id = 1000, o = -1;
    p.GetId(&id, &o);
    EXPECT_EQ(id, 1000);
    EXPECT_EQ(o, 0);
}

TEST(PaperSize, SetSizeResetsOrientationOnlyForStandardPairs) {
    struct Case {
        int w, h, before, after;
    } cases[] = {
        {2970000, 2100000, 1, 0}, // A4 swapped
        {2100000, 2970000, 1, 0}, // A4
        {2794000, 2159000, 1, 0}, // Letter swapped
        {1000000, 1000000, 1, 1}, // custom keeps it
        {1000000, 1000000, 0, 0},
    };
    for (const Case& c : cases) {
        PaperSize p(1, c.before);
        p.SetSize(c.w, c.h);
        int w = 0, h = 0;
        p.GetPortraitSize(&w, &h);
        EXPECT_EQ(w, c.w);
        EXPECT_EQ(h, c.h);
        EXPECT_EQ(p.GetOrientation(), c.after) << c.w << "x" << c.h;
    }
}

TEST(PaperSize, SetIdNormalisesOrientation) {
    PaperSize p(1000000, 1000000, 5);
    p.SetId(3);
    EXPECT_EQ(p, PaperSize(3, 0));
    PaperSize q(1000000, 1000000, 1);
    q.SetId(9);
    EXPECT_EQ(q, PaperSize(0, 0, 1));
}

TEST(PaperSize, CustomSizeRoundTripsThroughShownSize) {
    PaperSize p(1500000, 2500000, 1);
    EXPECT_EQ(Width(p), 2500000);
    EXPECT_EQ(PaperSize::FromShownSize(Width(p), Height(p), 1), p);
    EXPECT_EQ(PaperSize::FromShownSize(1500000, 2500000, 0), PaperSize(1500000, 2500000, 0));
}

} // namespace
