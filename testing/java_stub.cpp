// Stand-in java.exe / javaw.exe (one source, console and GUI builds).
//
// Side files beside the exe:
//   standin.out  bytes written as they are to standard error when run with "-version"
//                (missing file: nothing is written)
//   standin.cfg  "exit N" (exit code of every start, default 0) and "hang 1" (never end; wait to be killed)
//   starts.log   one line appended per start: "<exe file name>\t<command line>" (UTF-8, escaped)
#include "standin_common.h"

#include <shellapi.h>

namespace {

int run() {
    std::wstring dir = standin::moduleDirectory(nullptr);
    std::wstring exeName = standin::moduleFileName(nullptr);
    std::string commandLine = standin::toUtf8(GetCommandLineW());
    standin::appendFile(dir + L"starts.log",
                        standin::escapeField(standin::toUtf8(exeName)) + "\t" + standin::escapeField(commandLine) + "\n");

    int exitCode = 0;
    bool hang = false;
    for (const auto &kv : standin::readSettings(dir + L"standin.cfg")) {
        if (kv.first == "exit") exitCode = atoi(kv.second.c_str());
        else if (kv.first == "hang") hang = kv.second != "0" && kv.second != "false" && !kv.second.empty();
    }

    int argc = 0;
    LPWSTR *argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    bool version = false;
    for (int i = 1; argv && i < argc; ++i)
        if (wcscmp(argv[i], L"-version") == 0) version = true;
    if (argv) LocalFree(argv);

    if (version) {
        std::string output;
        if (standin::readFile(dir + L"standin.out", output) && !output.empty()) standin::writeStdErr(output);
    }
    if (hang) {
        for (;;) Sleep(INFINITE);
    }
    return exitCode;
}

}  // namespace

#ifdef STANDIN_GUI
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return run(); }
#else
int main() { return run(); }
#endif
