#include "setup/SetupLauncher.h"

#include <QApplication>
#include <QElapsedTimer>
#include <mutex>

#include "platform/sys/Process.h"
#include "platform/sys/Registry.h"
#include "platform/sys/UserDirs.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/StringTable.h"
#include "setup/ProgressWnd.h"

void AfxRegisterSetupStrings() {
    static std::once_flag once;
    std::call_once(once, [] {
        static const StringTableEntry english[] = {{IDS_DELETING_PREVIOUS, "Deleting Previous Version..."}};
        static const StringTableEntry korean[] = {{IDS_DELETING_PREVIOUS, "이전 버전 삭제중..."}};
        AfxAddStrings(UiLanguage::English, english, 1);
        AfxAddStrings(UiLanguage::Korean, korean, 1);
    });
}

SetupLauncher::SetupLauncher(std::string installer, sys::Registry& registry)
    : installer_(std::move(installer)), registry_(registry) {}

std::string SetupLauncher::InstallerBesideExecutable() {
    // Never the working folder: a program of that name planted there would run.
    std::string exe = sys::ExecutablePath();
    size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1) + "setup";
}

bool SetupLauncher::PreviousInstallation(const sys::Registry& registry) {
    // Opened for reading only: a machine that never had the viewer keeps no key.
    return registry.GetString(sys::RegRoot::LocalMachine, kInstallKey, kBaseDirValue).has_value();
}

namespace {

bool Start(sys::Process& p, const std::string& program, std::vector<std::string> args) {
    if (program.empty()) return false;
    sys::Process::Options o;
    o.argv.push_back(program);
    o.argv.insert(o.argv.end(), args.begin(), args.end());
    o.stdinMode = sys::Process::Stream::Inherit;
    return p.Start(o);
}

}  // namespace

int SetupLauncher::Run() {
    AfxRegisterSetupStrings();
    if (PreviousInstallation(registry_)) {
        sys::Process uninstaller;
        if (!Start(uninstaller, installer_, {"/s", "/uninst"})) {
            AfxShowMessageBox(nullptr, "Can't Uninstall Process", kCaption, MB_OK | MB_ICONERROR);
        } else {
            ProgressWnd wnd(QString::fromUtf8(AfxLoadString(IDS_DELETING_PREVIOUS).c_str()));
            wnd.ShowCentred();
            // Waits without a limit, keeping the window painted.
            while (!uninstaller.Wait(50)) QApplication::processEvents(QEventLoop::AllEvents, 50);
            wnd.hide();
        }
    }
    sys::Process installer;
    if (!Start(installer, installer_, {})) {
        AfxShowMessageBox(nullptr, "Can,t Install Process", kCaption, MB_OK | MB_ICONERROR);
        return 0;
    }
    installer.Wait();
    return 0;
}
