// ViewerDvi: the viewer's DVI reader. It adds the specials only the viewer
// knows: page orientation and paper size per page, the default scroll
// origin, the workspace colour, side files carried inside the document, a
// watermark picture and notes; every other special goes to the base reader.
// It registers every picture a special names with its document, which
// fetches it.
//
// ViewerDviDrawer: the viewer's page drawer. It reads pictures from the
// document's side files, or from beside a local document, and draws the
// document's watermark under a page.
//
// Threads: specials are read on the document's worker. What they change in
// the view is carried to the UI thread in order; the paper table and the
// watermark are guarded and handed out as copies.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "base/String8.h"
#include "dvilib/VrDvi.h"
#include "dvilib/VrDviDrawer.h"
#include "viewer/document/PaperSize.h"

class CVrViewerDoc;

class ViewerDvi : public VrDvi {
public:
    ViewerDvi();
    ViewerDvi(const String8& file, const DList<String8>& tfmPaths, const DList<String8>& vfPaths);
    ~ViewerDvi() override;

    void Reset();
    // Before a new scan of the file: paper entries and the watermark go, so
    // that a changed file is shown on its own papers.
    void ResetForScan();
    void SetDocument(CVrViewerDoc* doc) { m_pDoc = doc; }
    CVrViewerDoc* GetDocument() const { return m_pDoc; }

    // Paper per page (entries for pages 0 .. count - 1).
    int GetPagePaperCount() const;
    // The entry of page, the last one for a page beyond the table; false
    // when there is none.
    bool GetPagePaper(int page, PaperSize& paper) const;
    PaperSize GetPaper() const;
    int IsPaperBySpecial() const;
    // Replaces every entry (a single one when there are none) and the paper
    // in force (the options' paper).
    void SetAllPapers(const PaperSize& paper);

    // The watermark's xxx4 instruction (empty: none) and its file name.
    std::vector<unsigned char> GetWatermarkInstruction() const;
    std::string GetWatermarkFile() const;

    // Unit factors of the specials: millimetres and inches per unit; false
    // for an unknown unit (case-insensitive two letters).
    static bool UnitToMillimetres(const char* unit, double& factor);
    static bool UnitToInches(const char* unit, double& factor);

    // Parsers of the specials' arguments (text behind the keyword, ending
    // in a NUL); false for arguments that do not parse.
    // "papersize": width and height in 1/10000 mm.
    static bool ParsePaperSizeArgs(const unsigned char* args, int& width, int& height);
    // "defaultorg:": x and y in inches.
    static bool ParseDefaultOrgArgs(const unsigned char* args, double& x, double& y);
    // "workspacecolor:": the colour r | g << 8 | b << 16.
    static bool ParseWorkspaceColorArgs(const unsigned char* args, COLORREF& colour);
    // "watermarkgraphics:" (the whole special): its xxx4 "graphics:"
    // instruction and the picture's file name.
    static bool BuildWatermarkInstruction(const unsigned char* text, int length, std::vector<unsigned char>& out,
                                          std::string& file);

    void DoSpecial(unsigned char* text, int length) override;

protected:
    void AppendPictFile(const String8& file) override;

private:
    void PaperSpecial(int orientation, const PaperSize* size);
    void DefaultOrgSpecial(double x, double y);
    void WorkspaceColorSpecial(COLORREF colour);
    void EmbeddedFileSpecial(unsigned char* text, int length);
    void WatermarkSpecial(const unsigned char* text, int length);
    bool HasView() const;

    mutable std::mutex m_lock;  // papers and watermark
    std::vector<PaperSize> m_pagePapers;
    PaperSize m_paper;
    CVrViewerDoc* m_pDoc = nullptr;
    int m_paperBySpecial = 0;
    std::vector<unsigned char> m_watermarkInstruction;
    std::string m_watermarkFile;
};

class ViewerDviDrawer : public VrDviDrawer {
public:
    ViewerDviDrawer() = default;
    ViewerDviDrawer(CDC& dc, VrDvi& dvi, int page, const fpreal4& zoom, int originX, int originY)
        : VrDviDrawer(dc, dvi, page, zoom, originX, originY) {}

    void SetDocument(CVrViewerDoc* doc) { m_pDoc = doc; }
    CVrViewerDoc* GetDocument() const { return m_pDoc; }

    // The picture's bytes: the complete local copy of its side file, else
    // the file of that name beside a local document; null when neither.
    std::unique_ptr<std::istream> OpenPictFileStream(PictInfo* p, int* size) override;
    void ClosePictFileStream(PictInfo* p, std::unique_ptr<std::istream> s) override;
    // Reported to the document.
    void OnPictureMessage(const PictInfo* p, const std::string& text) override;

    // Runs the watermark instruction on the open page and draws its
    // pictures at once, so that the page's contents lie over them.
    void DrawWatermark(const std::vector<unsigned char>& instruction);

private:
    CVrViewerDoc* m_pDoc = nullptr;
};
