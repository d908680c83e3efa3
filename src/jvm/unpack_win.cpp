// A runtime shipped with pack200-compressed jars is unpacked in place by its own
// unpack200.exe before the search checks it.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "files/paths.h"
#include "jvm/unpack.h"
#include "launcher/config_ids.h"
#include "launcher/errors.h"
#include "launcher/log.h"
#include "launcher/texts.h"

namespace {
// In this order; lib\jsse.jar comes last, so its presence marks a completed unpacking.
const char* const kPackedJars[] = {"lib\\rt.jar",      "lib\\jfxrt.jar",  "lib\\charsets.jar",
                                   "lib\\plugin.jar",  "lib\\deploy.jar", "lib\\ext\\localedata.jar",
                                   "lib\\jsse.jar"};
}  // namespace

void unpackRuntime(const std::string& runtimeDirectory) {
    if (!pathExists(runtimeDirectory + "\\lib\\rt.jar.pack") || pathExists(runtimeDirectory + "\\lib\\jsse.jar"))
        return;
    logMessage("Unpacking JRE");
    std::fputs(texts::kPreparingJre, stdout);
    std::fflush(stdout);
    for (const char* jar : kPackedJars) unpackJar(runtimeDirectory, runtimeDirectory + "\\" + jar + ".pack");
    logMessage("Unpacking JRE done");
}

void unpackJar(const std::string& runtimeDirectory, const std::string& packedPath) {
    if (packedPath.size() < 5) return;
    std::string jarPath = packedPath.substr(0, packedPath.size() - 5);
    if (!pathExists(packedPath)) {
        logMessage("pack path doesn't exists");
        return;
    }
    std::string program = runtimeDirectory + "\\bin\\unpack200.exe";
    // The program's own name leads the command line, so that its C runtime sees
    // "-r" as the first argument and not as the program name.
    std::string commandLine = "\"" + program + "\" -r \"" + packedPath + "\" \"" + jarPath + "\"";
    logMessage("unpack program %s", program.c_str());
    logMessage("unpack command line %s", commandLine.c_str());

    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    std::vector<char> commandBuffer(commandLine.begin(), commandLine.end());
    commandBuffer.push_back('\0');
    if (!CreateProcessA(program.c_str(), commandBuffer.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &process)) {
        logMessage("could not create unpack process");
        fatalMessage(CFG_MSG_INTERNAL_ERROR, internal_error::kUnpackStart);
    }
    logMessage("waiting for unpack200 to finish");
    WaitForSingleObject(process.hProcess, INFINITE);
    logMessage("unpack done");
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    // "-r" has the unpacker remove its input, so a missing file is the normal outcome.
    if (!DeleteFileA(packedPath.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        logMessage("could not delete packed file (error %d)", static_cast<int>(GetLastError()));
}
