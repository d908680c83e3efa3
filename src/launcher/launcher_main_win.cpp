// The launch driver: the start-up sequence of the launcher, on the main thread.
#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "config.h"
#include "errors.h"
#include "files/extract.h"
#include "instance/single_instance.h"
#include "jvm/vmlib.h"
#include "launcher.h"
#include "log.h"
#include "prompt.h"
#include "splash/splash.h"
#include "texts.h"
#include "windows/args.h"
#include "windows/java_vm_launcher.h"
#include "windows/nativepath.h"

namespace {
std::vector<std::u16string>* gArgumentList = nullptr;
bool gLanguageRestart = false;
const char* gProductName = "marlowkit";
void* gInstance = nullptr;

bool startsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

bool isLogSwitch(const std::u16string& argument) {
    for (const char16_t* s : texts::kLogSwitches)
        if (argument == s) return true;
    return false;
}

void prepareLaunch() {
    tempDir().clear();
    std::vector<std::u16string>& args = argumentList();
    if (args.size() >= 2 && isLogSwitch(args[1])) {
        args.erase(args.begin() + 1);
        setLogRequested();
    }
    readConfigBlock(args);
    std::string flavour = getConfigString(CFG_LAUNCHER_FLAVOUR, 2);
    gProductName = (!flavour.empty() && flavour[0] == 'e') ? "tovex" : "marlowkit";
    if (!gLanguageRestart) applyWorkingDirectory();
    if (logRequested()) promptLogFile();
}

// "-q", "-console" and "-c", when the configuration allows them.
void handleConsoleSwitches() {
    bool unattended = getConfigFlag(CFG_UNATTENDED_SWITCHES);
    bool consoleSwitch = getConfigFlag(CFG_CONSOLE_SWITCH);
    if (!unattended && !consoleSwitch) return;
    for (const std::u16string& argument : argumentList()) {
        if (unattended && argument == texts::kQuietSwitch) {
            disableMessageBoxes();
        } else if (argument == texts::kConsoleSwitch) {
            attachConsole();
        } else if (unattended && argument == texts::kConsoleQuietSwitch) {
            disableMessageBoxes();
            if (!attachConsole()) {
                MessageBoxA(nullptr, texts::kConsoleFailed, texts::kConsoleFailedCaption, MB_OK);
                exitLauncher(1);
            }
            break;
        }
    }
}

// The appended files; a failure ends the start with the internal error of extraction.
void extractAppendedFiles() {
    if (extractFiles() != 0) {
        fatalMessage(CFG_MSG_INTERNAL_ERROR, internal_error::kExtraction, extractionFailureDetails().c_str());
    }
}

}  // namespace

std::vector<std::u16string>& argumentList() {
    if (!gArgumentList) gArgumentList = new std::vector<std::u16string>();
    return *gArgumentList;
}
bool languageRestart() { return gLanguageRestart; }
const char* productName() { return gProductName; }
void* launcherInstance() { return gInstance; }

int launcherMain(void* instance, const char* tail, int showCommand) {
    InitCommonControls();
    // The current directory takes no part in the search for DLLs.
    SetDllDirectoryA("");
    if (tail[0] != '\0' && std::strcmp(tail, texts::kRebootMarker) == 0) {
        rebootSystem();
        return 0;
    }
    if (startsWith(tail, texts::kLangRestartMarker)) gLanguageRestart = true;
    if (startsWith(tail, texts::kQuietMarker)) disableMessageBoxes();

    splitArguments(reinterpret_cast<const char16_t*>(GetCommandLineW()), argumentList());
    gInstance = instance;
    prepareLaunch();
    handleConsoleSwitches();

    if (!gLanguageRestart) checkSingleInstance();
    bool splash = getConfigFlag(CFG_SPLASH_ENABLED);
    bool runtimeSplash = getConfigFlag(CFG_SPLASH_FROM_RUNTIME);
    if (splash && !runtimeSplash) showSplash(showCommand);
    extractAppendedFiles();
    setNativeLibraryPath();
    if (!LoadDLL(true)) exitLauncher(83);
    if (splash && runtimeSplash) showSplash(showCommand);
    if (!launchProgram(argumentList(), true)) {
        const LaunchFailure& failure = launchFailure();
        fatalMessage(failure.id, failure.argument.empty() ? nullptr : failure.argument.c_str(), failure.details.c_str());
    }
    argumentList().clear();
    return 0;
}
