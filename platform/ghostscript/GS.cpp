#include "platform/ghostscript/GS.h"

#include <cstddef>

#include <fcntl.h>
#include <unistd.h>

#include <ghostscript/gdevdsp.h>
#include <ghostscript/iapi.h>
#include <ghostscript/ierrors.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "platform/ghostscript/GSJobArgs.h"
#include "platform/ghostscript/GSPageBitmap.h"
#include "platform/ghostscript/GsLibrary.h"

void GS::PageOutputter::OnPage(GS*, int, int) {}
void GS::PageOutputter::OnText(GS*, const char*, int) {}
void GS::PageOutputter::OnPageSize(GS*, int, int) {}
int GS::PageOutputter::IsDone(GS*) { return 0; }

struct GS::Job {
    GS* gs = nullptr;
    PageOutputter* out = nullptr;
    void* instance = nullptr;
    int bitsPerPixel = 24;
    int inGhostscript = 0; // > 0 while a library call of this job runs
    int runBegun = 0;
    int error = 0;           // first error, 0 when none
    bool stopRequested = false; // the outputter said it is done
    bool halted = false;        // nothing more runs: stopped or failed
    // Display device state.
    unsigned char* image = nullptr;
    int imageWidth = 0, imageHeight = 0, imageRaster = 0;
    GSPageBitmap page;
    bool pageReadable = false;
    int locks = 0;
    std::string text[2]; // unfinished lines of stdout and stderr

    bool CheckDone() {
        if (!stopRequested && out && out->IsDone(gs)) stopRequested = true;
        return stopRequested;
    }
    // A stop request that Ghostscript may act on: not while the job starts.
    bool ShouldStop() { return runBegun && CheckDone(); }
    void DeliverText(int stream, const char* s, int n);
    void FlushText();
    int OnDevicePage();
};

namespace {

// One Ghostscript job at a time in the whole process.
std::mutex g_jobMutex;

// The job the calling thread runs. A thread that ends with a job open ends it,
// so that the lock is never left held.
struct ThreadJob {
    GS* gs = nullptr;
    GS::Job* job = nullptr;
    ~ThreadJob() {
        if (gs) {
            job->out = nullptr; // the outputter may have gone with the thread's stack
            gs->EndGSJob();
        }
    }
};
thread_local ThreadJob t_job;

constexpr size_t kLongestLine = 64 * 1024;
constexpr unsigned kRunChunk = 60000; // run_string_continue takes at most 64 KiB

int TextOut(void* handle, const char* s, int n) {
    static_cast<GS::Job*>(handle)->DeliverText(0, s, n);
    return n;
}
int TextErr(void* handle, const char* s, int n) {
    static_cast<GS::Job*>(handle)->DeliverText(1, s, n);
    return n;
}
int TextIn(void*, char*, int) { return 0; } // jobs read no standard input
int Poll(void* handle) { return static_cast<GS::Job*>(handle)->ShouldStop() ? gs_error_interrupt : 0; }

int DisplayNop(void*, void*) { return 0; }
int DisplayPresize(void* handle, void*, int, int, int, unsigned int) {
    return static_cast<GS::Job*>(handle)->ShouldStop() ? gs_error_interrupt : 0;
}
int DisplaySize(void* handle, void*, int width, int height, int raster, unsigned int, unsigned char* image) {
    GS::Job* job = static_cast<GS::Job*>(handle);
    job->image = image;
    job->imageWidth = width;
    job->imageHeight = height;
    job->imageRaster = raster;
    return 0;
}
int DisplayUpdate(void* handle, void*, int, int, int, int) {
    static_cast<GS::Job*>(handle)->CheckDone(); // Ghostscript ignores the result here
    return 0;
}
int DisplayPage(void* handle, void*, int, int) { return static_cast<GS::Job*>(handle)->OnDevicePage(); }

display_callback g_display = {
    sizeof(display_callback), DISPLAY_VERSION_MAJOR, DISPLAY_VERSION_MINOR,
    DisplayNop,     // open
    DisplayNop,     // preclose
    DisplayNop,     // close
    DisplayPresize, // presize
    DisplaySize,    // size
    DisplayNop,     // sync
    DisplayPage,    // page
    DisplayUpdate,  // update
    nullptr,        // memalloc: Ghostscript allocates
    nullptr,        // memfree
    nullptr,        // separation
    nullptr,        // adjust_band_height
    nullptr,        // rectangle_request
};

int Callout(void*, void* handle, const char* device, int id, int size, void* data) {
    if (!device || std::strcmp(device, "display") != 0 || id != DISPLAY_CALLOUT_GET_CALLBACK ||
        size < int(sizeof(gs_display_get_callback_t)))
        return gs_error_unknownerror;
    auto* get = static_cast<gs_display_get_callback_t*>(data);
    get->callback = &g_display;
    get->caller_handle = handle;
    return 0;
}

} // namespace

void GS::Job::DeliverText(int stream, const char* s, int n) {
    if (n <= 0 || !out || stopRequested) return;
    std::string& line = text[stream];
    for (int i = 0; i < n; ++i) {
        line += s[i];
        if (s[i] == '\n' || line.size() >= kLongestLine) {
            out->OnText(gs, line.data(), int(line.size()));
            line.clear();
        }
    }
}

void GS::Job::FlushText() {
    for (std::string& line : text) {
        if (!line.empty() && out && !stopRequested) out->OnText(gs, line.data(), int(line.size()));
        line.clear();
    }
}

int GS::Job::OnDevicePage() {
    if (ShouldStop()) return gs_error_interrupt;
    if (!image || !page.Assign(image, imageWidth, imageHeight, imageRaster, bitsPerPixel))
        return 0; // the page is not delivered
    gs->m_width = page.Width();
    gs->m_height = page.Height();
    if (out) {
        pageReadable = true;
        out->OnPageSize(gs, page.Width(), page.Height());
        out->OnPage(gs, page.Width(), page.Height());
        pageReadable = false;
        locks = 0;
    }
    return ShouldStop() ? gs_error_interrupt : 0;
}

GS::GS() = default;

GS::~GS() {
    if (OwnJob()) EndGSJob();
}

int GS::LoadGSDLL(const char*, const char* libPath) {
    gsapi_revision_t rev;
    if (gsapi_revision(&rev, sizeof rev) != 0) return 0;
    m_libPath = libPath ? libPath : "";
    m_loaded = 1;
    return 1;
}

int GS::LoadGSDLLWhenNeeded(const char*, const char* libPath) {
    m_libPath = libPath ? libPath : "";
    m_loaded = 1;
    return 1;
}

void GS::UnloadGSDLL() {
    if (OwnJob()) EndGSJob();
    std::lock_guard<std::mutex> lock(g_jobMutex); // waits for a job of another thread
    m_loaded = 0;
}

GS::Job* GS::OwnJob() const { return t_job.gs == this ? t_job.job : nullptr; }

int GS::StartGSJob(const std::vector<String8>& args, PageOutputter* out) {
    if (!m_loaded) return 0;
    if (!gslibrary::Load()) {
        m_loaded = 0;
        return 0;
    }
    if (t_job.gs) {
        if (t_job.job->inGhostscript) return 0; // a callback of this thread's job: jobs do not nest
        // A job this thread left open: end it rather than wait for it forever.
        t_job.job->out = nullptr;
        t_job.gs->EndGSJob();
    }
    GSJobArgs a;
    if (!a.Build(args)) return 0;

    g_jobMutex.lock();
    m_job = std::make_unique<Job>();
    Job* job = m_job.get();
    job->gs = this;
    job->out = out;
    job->bitsPerPixel = a.bitsPerPixel;
    t_job.gs = this;
    t_job.job = job;
    m_width = 0;
    m_height = 0;

    void* inst = nullptr;
    if (gsapi_new_instance(&inst, job) < 0 || !inst) {
        FinishJob(job);
        return 0;
    }
    job->instance = inst;
    gsapi_set_arg_encoding(inst, GS_ARG_ENCODING_UTF8);
    gsapi_set_stdio_with_handle(inst, TextIn, TextOut, TextErr, job);
    gsapi_set_poll_with_handle(inst, Poll, job);
    gsapi_register_callout(inst, Callout, job);
    static const char kDefaultDevice[] = "nullpage";
    gsapi_set_default_device_list(inst, kDefaultDevice, int(sizeof kDefaultDevice - 1));

    std::vector<char*> argv;
    for (std::string& s : a.argv) argv.push_back(s.data());
    ++job->inGhostscript;
    int code = gsapi_init_with_args(inst, int(argv.size()), argv.data());
    int exitCode = 0;
    if (code >= 0) code = gsapi_run_string_begin(inst, 0, &exitCode);
    --job->inGhostscript;
    if (code < 0) {
        job->error = code;
        job->halted = true;
        EndGSJob();
        return 0;
    }
    // Ghostscript lets jobs read, write, rename and delete anything in its
    // temporary folder, which holds other documents' temporary files too. A
    // job reads only what it is given and writes only its output file (and
    // the scratch files Ghostscript makes itself, each permitted by name).
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpDir = tmp && *tmp ? tmp : "/tmp";
    while (tmpDir.size() > 1 && tmpDir.back() == '/') tmpDir.pop_back();
    for (int permission : {GS_PERMIT_FILE_READING, GS_PERMIT_FILE_WRITING, GS_PERMIT_FILE_CONTROL})
        for (const std::string& entry : {tmpDir + "/*", tmpDir + "//*"})
            gsapi_remove_control_path(inst, permission, entry.c_str());
    job->runBegun = 1;
    return 1;
}

std::vector<String8> GS::PictureJobArgs(int xRes, int yRes, int width, int height, int bitsPerPixel) const {
    if (xRes < 1 || yRes < 1 || width < 1 || height < 1) return {};
    GSCommandLine line(kGSConsoleProgram);
    line.Safer().Add("-dNOPAUSE").Add("-dQUIET").Add("-dNOPLATFONTS").Add("-sDEVICE=mswindll");
    line.Define("BitsPerPixel", bitsPerPixel).Resolution(xRes, yRes).PageSize(width, height);
    if (m_libPath.GetLength() > 0) line.Library(m_libPath);
    return line.Args();
}

int GS::StartGSJob(int xRes, int yRes, int width, int height, int bitsPerPixel, PageOutputter* out, int, int) {
    const std::vector<String8> args = PictureJobArgs(xRes, yRes, width, height, bitsPerPixel);
    return args.empty() ? 0 : StartGSJob(args, out);
}

int GS::ProcessPSCommand(const char* text) { return ProcessPSCommand(text, text ? std::strlen(text) : 0); }

int GS::ProcessPSCommand(const char* text, size_t length) {
    Job* job = OwnJob();
    if (!job || job->inGhostscript) return gs_error_unknownerror;
    if (job->halted) return job->error;
    if (!text) return 0;
    int code = 0;
    for (size_t done = 0; done < length && code >= 0;) {
        if (job->CheckDone()) {
            job->halted = true;
            return 0;
        }
        unsigned n = unsigned(std::min<size_t>(length - done, kRunChunk));
        int exitCode = 0;
        ++job->inGhostscript;
        code = gsapi_run_string_continue(job->instance, text + done, n, 0, &exitCode);
        --job->inGhostscript;
        done += n;
        if (code == gs_error_NeedInput) code = 0;
    }
    if (code >= 0) return 0;
    job->halted = true;
    if (job->stopRequested) return 0; // stopped on request: not a failure
    job->error = code;
    return code;
}

int GS::ProcessPSFile(const char* fileName, const char* operation) {
    Job* job = OwnJob();
    if (!job || job->inGhostscript) return gs_error_unknownerror;
    if (job->halted) return job->error;
    if (!fileName || !*fileName) return gs_error_undefinedfilename;
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(fileName, ec);
    if (ec) return gs_error_undefinedfilename;
    std::string name = path.lexically_normal().string();
    // Ghostscript reads '*' in a permitted path as a wildcard; such a file is
    // reached through a descriptor of its own, whose name is exact.
    int fd = -1;
    if (name.find('*') != std::string::npos) {
        fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return gs_error_undefinedfilename;
        name = "/proc/self/fd/" + std::to_string(fd);
    }
    int code = gs_error_invalidfileaccess;
    if (gsapi_add_control_path(job->instance, GS_PERMIT_FILE_READING, name.c_str()) >= 0) {
        String8 command = PSStringLiteral(name.c_str()) + " " + (operation && *operation ? operation : "run") + "\n";
        code = ProcessPSCommand(command);
        gsapi_remove_control_path(job->instance, GS_PERMIT_FILE_READING, name.c_str());
    }
    if (fd >= 0) close(fd);
    return code;
}

int GS::EndGSJob() {
    Job* job = OwnJob();
    if (!job) return 0;
    if (job->inGhostscript) return gs_error_unknownerror; // not from inside a callback
    if (job->instance) {
        int exitCode = 0;
        ++job->inGhostscript;
        if (job->runBegun && !job->halted) {
            int code = gsapi_run_string_end(job->instance, 0, &exitCode);
            if (code < 0 && code != gs_error_NeedInput && !job->stopRequested && !job->error) job->error = code;
        }
        gsapi_exit(job->instance);
        --job->inGhostscript;
        gsapi_delete_instance(job->instance);
        job->instance = nullptr;
    }
    job->FlushText();
    int result = job->error;
    FinishJob(job);
    return result;
}

void GS::FinishJob(Job* job) {
    if (job->instance) gsapi_delete_instance(job->instance);
    t_job.gs = nullptr;
    t_job.job = nullptr;
    m_job.reset();
    g_jobMutex.unlock();
}

int GS::LockGSDevice() {
    Job* job = OwnJob();
    if (!job || !job->pageReadable) return 0;
    ++job->locks;
    return 1;
}

int GS::UnlockGSDevice() {
    Job* job = OwnJob();
    if (!job || job->locks == 0) return 0;
    --job->locks;
    return 1;
}

int GS::GetBitmapRow(BITMAPINFOHEADER* header, RGBQUAD* palette, unsigned char** row, unsigned int index) {
    Job* job = OwnJob();
    if (row) *row = nullptr;
    if (!job || !job->pageReadable) return 0;
    GSPageBitmap& page = job->page;
    if (header) page.FillHeader(header);
    if (palette) {
        std::memset(palette, 0, 256 * sizeof(RGBQUAD));
        std::copy(page.Palette().begin(), page.Palette().end(), palette);
    }
    if (row) {
        if (index >= unsigned(page.Height())) return 0;
        *row = page.Row(int(index));
    }
    return page.Stride();
}

int GS::DeliverPage(PageOutputter* out, const unsigned char* rows, int width, int height, int raster,
                    int bitsPerPixel) {
    if (t_job.gs || !out) return 0;
    Job job;
    job.gs = this;
    job.out = out;
    job.bitsPerPixel = GSPageBitmap::NormalBitsPerPixel(bitsPerPixel);
    if (!job.page.Assign(rows, width, height, raster, job.bitsPerPixel)) return 0;
    m_width = job.page.Width();
    m_height = job.page.Height();
    t_job.gs = this;
    t_job.job = &job;
    ++job.inGhostscript; // a callback may not start or end a job meanwhile
    job.pageReadable = true;
    out->OnPageSize(this, width, height);
    out->OnPage(this, width, height);
    t_job.gs = nullptr;
    t_job.job = nullptr;
    return 1;
}

GS* GetGS() {
    static GS gs;
    return &gs;
}
