// Ghostscript jobs run by the console program in a child process of their
// own, for PostScript that may never end (a picture is a program: "{ } loop"
// is a valid EPS). The job ends at its deadline, when its outputter reports
// IsDone, or when a termination signal arrives; a crash takes only the child.
// The child's temporary folder is a private one made for the job and removed
// after it, so the job can write nothing but that folder and its own output.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/String8.h"
#include "platform/ghostscript/GS.h"

// A private folder (mode 0700, an unguessable name in the private temporary
// folder) for one Ghostscript child process, removed with everything in it
// at the end. Ghostscript lets jobs write, rename and delete in its temporary
// folder: the child's is this one.
class GSJobFolder {
public:
    GSJobFolder();
    ~GSJobFolder();
    GSJobFolder(const GSJobFolder&) = delete;
    GSJobFolder& operator=(const GSJobFolder&) = delete;
    const std::string& Path() const { return m_path; } // "" when it could not be made
    // The child's environment entries that name it as the temporary folder.
    std::vector<std::pair<std::string, std::string>> Environment() const;

private:
    std::string m_path;
};

struct GSChildJob {
    enum class End {
        Done,     // ran to its end, or its outputter was done
        Failed,   // did not start, or Ghostscript ended with an error
        TimedOut, // stopped at the deadline
        Stopped,  // stopped by a termination signal
    };
    struct Result {
        End end = End::Failed;
        std::string text; // Ghostscript's messages (the first 64 KiB), or why it did not start
    };

    // The program run; a name is searched on PATH.
    static void SetProgram(const std::string& program);

    // Runs `input` (PostScript) as a job of `args` (as GS::StartGSJob takes
    // them: the program name first, -sDEVICE=mswindll for pages as bitmaps,
    // which reach out->OnPage through GS::DeliverPage on the calling thread;
    // -dSAFER always). Text goes to out->OnText in whole lines. Waits at most
    // timeoutMs milliseconds.
    static Result Run(GS* gs, const std::vector<String8>& args, std::string_view input, GS::PageOutputter* out,
                      int timeoutMs);
    // The same with the PostScript or PDF file given (read by the child).
    static Result RunFile(GS* gs, const std::vector<String8>& args, const char* file, GS::PageOutputter* out,
                          int timeoutMs);
    // The same with the PostScript file fed to the child's input in pieces.
    // A stop (IsDone or a termination signal) ends the input, so that the
    // job finishes what it has read (a converter closes its output); a job
    // still running a few seconds later is ended.
    static Result StreamFile(GS* gs, const std::vector<String8>& args, const char* file, GS::PageOutputter* out,
                             int timeoutMs);

private:
    static Result Run(GS* gs, const std::vector<String8>& args, std::string_view input, const char* file,
                      bool stream, GS::PageOutputter* out, int timeoutMs);
};
