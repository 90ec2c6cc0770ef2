// GS: in-process Ghostscript jobs over libgs, with pages delivered as
// device-independent bitmaps through a PageOutputter.
//
// One job runs at a time in the process: StartGSJob takes a process-wide lock
// that EndGSJob releases, so a job started on another thread waits. Every call
// of a job is made on the thread that started it; the outputter's callbacks run
// on that thread, inside ProcessPSCommand, ProcessPSFile or EndGSJob, and must
// not wait for a thread that may be starting a job.
//
// A job stops early when its outputter reports IsDone: at the next page or page
// size change, between commands, or (with a library built to poll) at once.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "base/String8.h"
#include "platform/core/DibTypes.h"

// The in-process Ghostscript library and the console program that prints.
inline constexpr const char kGSLibraryName[] = "libgs.so.10";
inline constexpr const char kGSConsoleProgram[] = "gs";

class GS {
public:
    // Receives what a job produces. The default operations ignore it.
    class PageOutputter {
    public:
        virtual ~PageOutputter() = default;
        // A page was rendered; its bitmap is readable through GetBitmapRow
        // until the call returns.
        virtual void OnPage(GS* gs, int width, int height);
        // Ghostscript's text output, one whole line at a time (with its line
        // feed; the last piece of a job may lack it). Not terminated.
        virtual void OnText(GS* gs, const char* text, int length);
        // The size in pixels of the page being output, just before OnPage.
        virtual void OnPageSize(GS* gs, int width, int height);
        // Nonzero: no more output is needed; the job stops as soon as
        // Ghostscript gives it the chance, and that stop counts as success.
        virtual int IsDone(GS* gs);
    };

    GS();
    ~GS();
    GS(const GS&) = delete;
    GS& operator=(const GS&) = delete;

    // Makes jobs possible. dllPath names the library (ignored: kGSLibraryName is
    // loaded when first needed, see GsLibrary.h);
    // libPath is Ghostscript's resource search path, handed back by
    // GetRastinPath and added with -I to the jobs the wrapper builds.
    // Returns 1, or 0 when the library does not answer.
    int LoadGSDLL(const char* dllPath, const char* libPath);
    // The same without loading the library: the first job loads it, and the
    // wrapper counts as unloaded again when that load fails. Returns 1.
    int LoadGSDLLWhenNeeded(const char* dllPath, const char* libPath);
    void UnloadGSDLL();
    int IsGSDLLLoaded() const { return m_loaded.load(); }
    const char* GetRastinPath() const { return m_libPath.c_str(); }

    // Starts a job from Ghostscript's arguments, args[0] being the program
    // name. The device "mswindll" (-sDEVICE=mswindll) renders into bitmaps of
    // -dBitsPerPixel (1, 4, 8 or 24; default 24). Every job runs with -dSAFER;
    // -dNOSAFER, -dDELAYSAFER and --permit-* options are dropped, as is
    // ".setpdfwrite" in -c, which Ghostscript no longer defines, and an -I
    // without a path. Returns 1 when the job runs, 0 when none was started
    // (not loaded, bad arguments, Ghostscript refused them, or the calling
    // thread is inside a callback of its own job). A job the calling thread
    // left open is ended first; one a thread leaves open when it ends is ended
    // then, without its outputter.
    int StartGSJob(const std::vector<String8>& args, PageOutputter* out);
    // A job on the bitmap device for an EPS picture: resolutions in dots per
    // inch, page size in pixels, bits per pixel. The last two are unused.
    int StartGSJob(int xRes, int yRes, int width, int height, int bitsPerPixel, PageOutputter* out, int, int);
    // The arguments of that job; empty when a size is below 1.
    std::vector<String8> PictureJobArgs(int xRes, int yRes, int width, int height, int bitsPerPixel) const;

    // PostScript text for the running job. Returns 0, or Ghostscript's
    // (negative) error code; after an error or a stop the job runs nothing more.
    int ProcessPSCommand(const char* text);
    // The same for length bytes of text, NUL bytes included.
    int ProcessPSCommand(const char* text, size_t length);
    // Runs the file (PostScript or PDF): grants the job read access to that
    // file alone and runs it by name, the name escaped as a PostScript string.
    // With an operation, "<name> operation" is run instead of "<name> run".
    int ProcessPSFile(const char* fileName, const char* operation = nullptr);
    // Ends the job and releases the lock; every callback has been made when it
    // returns. Returns 0 or the job's first error code.
    int EndGSJob();

    // Bracket reading the bitmap inside OnPage; 1 when the calling thread's job
    // has a page.
    int LockGSDevice();
    int UnlockGSDevice();
    // Fills the header (when given) and the palette (when given; room for 256
    // entries, the unused ones cleared), and stores in *row (when given) the
    // address of row index, counted from the bottom; rows are contiguous,
    // bottom-up, 4-byte aligned. Returns the row stride in bytes, or 0 when
    // there is no page or the index is beyond it.
    int GetBitmapRow(BITMAPINFOHEADER* header, RGBQUAD* palette, unsigned char** row, unsigned int index);
    // Hands a page rendered elsewhere (a child process's job) to out as a job
    // would: OnPageSize, then OnPage with the page readable through
    // GetBitmapRow. rows: bottom row first, raster bytes apart, 1 bit per
    // pixel (1 black) when bitsPerPixel is 1, else 24-bit blue-green-red.
    // Returns 0 when the calling thread runs a job or the page is unusable.
    int DeliverPage(PageOutputter* out, const unsigned char* rows, int width, int height, int raster,
                    int bitsPerPixel);
    int GetBitmapWidth() const { return m_width.load(); }
    int GetBitmapHeight() const { return m_height.load(); }

    struct Job; // one running job; defined in GS.cpp

private:
    Job* OwnJob() const; // the job, when the calling thread runs it
    void FinishJob(Job* job);

    std::atomic<int> m_loaded{0};
    String8 m_libPath;
    std::atomic<int> m_width{0}, m_height{0};
    std::unique_ptr<Job> m_job; // set while a job runs, by the thread holding the job lock
};

// The process-wide wrapper.
GS* GetGS();
