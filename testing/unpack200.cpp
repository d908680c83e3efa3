// Stand-in unpack200.exe. "-r PACKED JAR": copies PACKED to JAR (a packed file here holds the jar's bytes as
// they are) and removes PACKED because of -r. Each start appends "<command line>" to unpack200.log beside
// the exe. unpack200.cfg beside the exe: "fail 1" makes it produce nothing, keep PACKED and exit with
// "exit N" (default 2 when failing, else 0).
#include "standin_common.h"

#include <shellapi.h>

int main() {
    std::wstring dir = standin::moduleDirectory(nullptr);
    standin::appendFile(dir + L"unpack200.log", standin::escapeField(standin::toUtf8(GetCommandLineW())) + "\n");
    bool fail = false;
    int exitCode = -1;
    for (const auto &kv : standin::readSettings(dir + L"unpack200.cfg")) {
        if (kv.first == "fail") fail = kv.second != "0";
        if (kv.first == "exit") exitCode = atoi(kv.second.c_str());
    }
    if (fail) return exitCode < 0 ? 2 : exitCode;

    int argc = 0;
    LPWSTR *argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    bool remove = false;
    std::vector<std::wstring> files;
    for (int i = 1; argv && i < argc; ++i) {
        if (wcscmp(argv[i], L"-r") == 0 || wcscmp(argv[i], L"--remove-pack-file") == 0) remove = true;
        else if (argv[i][0] == L'-' && argv[i][1] != L'\0') continue;
        else files.push_back(argv[i]);
    }
    if (argv) LocalFree(argv);
    if (files.size() != 2) {
        standin::writeStdErr("unpack200: usage: unpack200 [-r] PACKED JAR\n");
        return 1;
    }
    std::string bytes;
    if (!standin::readFile(files[0], bytes)) {
        standin::writeStdErr("unpack200: cannot read " + standin::toUtf8(files[0]) + "\n");
        return 1;
    }
    if (!standin::writeFile(files[1], bytes)) {
        standin::writeStdErr("unpack200: cannot write " + standin::toUtf8(files[1]) + "\n");
        return 1;
    }
    if (remove) DeleteFileW(files[0].c_str());
    return exitCode < 0 ? 0 : exitCode;
}
