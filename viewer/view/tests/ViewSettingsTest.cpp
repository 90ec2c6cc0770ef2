// The page view's settings in the viewer's profile: the defaults of a fresh
// store, the landscape paper across starts, and which values each document
// type writes.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/ui/ProfileStore.h"
#include "platform/ui/tests/QtTestApp.h"
#include "viewer/app/VrViewerApp.h"
#include "viewer/view/VrViewerView.h"

namespace {

class ViewSettings : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        app_ = std::make_unique<CVrViewerApp>();
        app_->SetProfileStore(std::make_shared<MemoryProfileStore>());
        app_->SetRegistryKey(CVrViewerApp::kRegistryKey);
        // Another profile is current: the view names its own.
        app_->SetSharedProfile();
    }
    int Read(const char* section, const char* key) {
        return int(app_->GetProfileInt(CVrViewerApp::kAppProfile, section, key, -999));
    }
    void Write(const char* section, const char* key, int value) {
        app_->WriteProfileInt(CVrViewerApp::kAppProfile, section, key, value);
    }
    void Remove(const char* section, const char* key) {
        app_->WriteProfileString(CVrViewerApp::kAppProfile, section, key, nullptr);
    }
    std::unique_ptr<CVrViewerApp> app_;
};

struct Value {
    const char* section;
    const char* key;
    int value;
};
// The fresh defaults, as a view without stored settings saves them.
const Value kDefaults[] = {
    {"Display", "PaperWidth", 2100000},   {"Display", "PaperHeight", 2970000},
    {"Display", "PaperOrientation", 0},   {"Display", "hMargin", 254000},
    {"Display", "vMargin", 254000},       {"Display", "GSScreenBitsPerPixel", 8},
    {"Display", "GSPrintBitsPerPixel", 1}, {"MagGlass", "EnableColor", 0},
    {"MagGlass", "GlassDispMag", 25000},  {"MagGlass", "GlassWidth", 200},
    {"MagGlass", "GlassHeight", 200},     {"MagGlass", "GlassGSBitsPerPixel", 1},
    {"Display", "DispMag", 10000},        {"Display", "DispMagSpec", 0},
    {"Display", "MarginDispMag", 0},      {"Display", "ShowMainToolbar", 1},
};

TEST_F(ViewSettings, AFreshStoreGivesTheDefaults) {
    {
        CVrViewerView view;
        ViewStatus vs;
        view.GetViewStatus(vs);
        EXPECT_EQ(vs.DispMag, 10000);
        EXPECT_EQ(vs.DispMagSpec, 0);
        EXPECT_EQ(vs.scrollBarFlags, 3);
        EXPECT_EQ(vs.paper, PaperSize(2100000, 2970000, 0));
        view.LoadLayoutBarStatusFromRegistry();
        EXPECT_EQ(view.GetLayoutBarStatus().show, 0);
        EXPECT_EQ(view.GetLayoutBarStatus().viewNum, 0);
        EXPECT_EQ(view.GetLayoutBarStatus().width, 200);
    }
    for (const Value& v : kDefaults) EXPECT_EQ(Read(v.section, v.key), v.value) << v.section << " " << v.key;
    // The layout bar is the frames' to save.
    EXPECT_EQ(Read("LayoutBar", "Width"), -999);
}

TEST_F(ViewSettings, LandscapePaperStaysLandscapeAcrossStarts) {
    // Orientation 5 is landscape; the stored size is the shown one.
    Write("Display", "PaperWidth", 2970000);
    Write("Display", "PaperHeight", 2100000);
    Write("Display", "PaperOrientation", 5);
    for (int start = 0; start < 3; ++start) {
        SCOPED_TRACE(start);
        CVrViewerView view;
        ViewStatus vs;
        view.GetViewStatus(vs);
        EXPECT_EQ(vs.paper.GetOrientation(), 1);
        int w = 0, h = 0;
        vs.paper.GetWidth(&w);
        vs.paper.GetHeight(&h);
        EXPECT_EQ(w, 2970000);
        EXPECT_EQ(h, 2100000);
    }
    EXPECT_EQ(Read("Display", "PaperOrientation"), 1);
    EXPECT_EQ(Read("Display", "PaperWidth"), 2970000);
    EXPECT_EQ(Read("Display", "PaperHeight"), 2100000);
}

TEST_F(ViewSettings, EachDocumentTypeLoadsAndSavesItsOwnValues) {
    const struct {
        int docType;
        bool writesScreenDepth;
    } types[] = {{kDocTiff, false}, {kDocPs, true}, {kDocGzip, false}};
    for (const auto& t : types) {
        SCOPED_TRACE(t.docType);
        Write("Display", "DispMag", 8000);
        Write("Display", "GSScreenBitsPerPixel", 4);
        {
            CVrViewerView view;
            view.SetDocType(t.docType);
            ViewStatus vs;
            view.GetViewStatus(vs);
            EXPECT_EQ(vs.DispMag, 8000);
            if (t.docType == kDocPs) {
                EXPECT_EQ(vs.GSScreenBitsPerPixel, 4);
            }
            // The values this type does not own are not written back.
            for (const Value& v : kDefaults) Remove(v.section, v.key);
        }
        EXPECT_EQ(Read("Display", "DispMag"), 8000);
        EXPECT_EQ(Read("Display", "DispMagSpec"), 0);
        EXPECT_EQ(Read("Display", "MarginDispMag"), 0);
        EXPECT_EQ(Read("Display", "GSScreenBitsPerPixel"), t.writesScreenDepth ? 4 : -999);
        for (const char* key : {"PaperWidth", "PaperOrientation", "hMargin", "GSPrintBitsPerPixel"})
            EXPECT_EQ(Read("Display", key), -999) << key;
        EXPECT_EQ(Read("MagGlass", "GlassDispMag"), -999);
        EXPECT_EQ(Read("Display", "ShowMainToolbar"), t.docType == kDocGzip ? -999 : 1);
    }
}

TEST_F(ViewSettings, TheLayoutBarRoundTripsInTheViewersProfile) {
    {
        CVrViewerView view;
        view.GetLayoutBarStatus() = {1, 1, 320};
        view.SaveLayoutBarStatusToRegistry();
    }
    EXPECT_EQ(app_->GetProfileInt("Shared", "LayoutBar", "Width", -1), UINT(-1));
    CVrViewerView view;
    view.LoadLayoutBarStatusFromRegistry();
    EXPECT_EQ(view.GetLayoutBarStatus().show, 1);
    EXPECT_EQ(view.GetLayoutBarStatus().viewNum, 1);
    EXPECT_EQ(view.GetLayoutBarStatus().width, 320);
}

}  // namespace
