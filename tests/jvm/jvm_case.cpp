// Real-VM cases of the invocation: one case per process. The case runs launchProgram
// against the JDK's libjvm.so in a child process; the parent checks what it left behind.
//   jvm_case <case> <tovex-runtime.jar> <test classes dir> <libjvm.so>
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "files/paths.h"
#include "launcher/config.h"
#include "launcher/language.h"
#include "launcher/log.h"
#include "windows/java_vm_launcher.h"
#include "windows/options_host.h"

namespace {

struct Setup {
    std::string name, jar, classes, libjvm, work;
    std::string out() const { return work + "/out.txt"; }
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

bool exists(const std::string& path) { return std::filesystem::exists(path); }

int failures = 0;
void check(bool condition, const std::string& what) {
    std::printf("%s: %s\n", condition ? "ok  " : "FAIL", what.c_str());
    if (!condition) ++failures;
}
bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// ---- child side ----------------------------------------------------------------

void configure(const Setup& s, std::vector<std::u16string>& args) {
    hostLauncherState().driveRoot = s.work;
    setModulePathForTesting("C:\\app\\run.exe");
    std::filesystem::create_directories(s.work + "/C/app");
    recordLanguageCode("de_DE");
    std::map<int32_t, std::string> config = {
        {CFG_MAIN_CLASS, "vmtest.Probe"},
        {CFG_MSG_INTERNAL_ERROR, "An internal error occurred (error code: {0})"},
    };
    std::string classPath = s.jar + ":" + s.classes;
    std::string vmOptions = "\"-classpath " + classPath + "\" -Dvm.test.out=" + s.out() + " -Xss2m";
    args = {u"C:\\app\\run.exe"};
    if (s.name == "options") {
        vmOptions += " \"-Dvm.test.a=x y\" -include-options conf\\inc.vmoptions";
        writeFile(s.work + "/C/app/conf/inc.vmoptions", "-Dvm.test.included=yes\n");
        writeFile(s.work + "/C/app/run.vmoptions", "  -Dvm.test.file=from file  \n# -Dvm.test.b=comment\n");
        args.push_back(u"-J-Dvm.test.b=dashj");
        args.push_back(u"-Dsun.locale.formatasdefault=false");
        config[CFG_ACCEPT_J_ARGUMENTS] = "1";
    } else if (s.name == "args") {
        config[CFG_APP_ARGUMENTS] = "fixed1 \"fixed 2\"";
        args.push_back(u"plain");
        args.push_back(u"with blank");
        args.push_back(u"\u00e4\u00f6\u00fc \u4e2d\u6587 \U0001F600");
        args.push_back(u"");
    } else if (s.name == "throw") {
        vmOptions += " -Dvm.test.mode=throw";
    } else if (s.name == "exit") {
        vmOptions += " -Dvm.test.mode=exit";
    } else if (s.name == "thread") {
        vmOptions += " -Dvm.test.mode=thread";
    } else if (s.name == "firstrun-stop" || s.name == "firstrun-absent") {
        config[CFG_LAUNCHER_FLAVOUR] = "i";
        config[CFG_INSTALLATION_ROOT] = "C:\\inst";
        // The runtime archive comes first in the class path: keep the real entries apart with ":".
        vmOptions = "\"-classpath :" + classPath + "\" -Dvm.test.out=" + s.out() +
                    " -Dtovex.firstRunHook=vmtest.StopHook -Dvm.test.hook=" + s.work + "/hook.txt" +
                    " -Dtovex.installationRoot=" + s.work + "/C/inst";
        if (s.name == "firstrun-stop") writeFile(s.work + "/C/inst/.marlowkit/firstrun", "");
    }
    config[CFG_VM_OPTIONS] = vmOptions;
    setConfigForTesting(config);
    setenv("PATH", "/vm-test/native:/usr/bin:/bin", 1);
    unsetenv("MANPATH");
    hostLauncherState().consoleOutputCodePage = 1252;
}

[[noreturn]] void runChild(const Setup& s) {
    std::vector<std::u16string> args;
    configure(s, args);
    void* library = dlopen(s.libjvm.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!library) {
        std::fprintf(stderr, "dlopen %s: %s\n", s.libjvm.c_str(), dlerror());
        _exit(20);
    }
    hostLauncherState().createJavaVm = dlsym(library, "JNI_CreateJavaVM");
    bool ok = launchProgram(args, true);
    std::string log;
    for (const std::string& line : hostLogLines()) log += line + "\n";
    writeFile(s.work + "/log.txt", log);
    std::fflush(nullptr);
    _exit(ok ? 0 : 10);
}

// ---- parent side ---------------------------------------------------------------

void verify(const Setup& s, int status) {
    bool exited = WIFEXITED(status);
    int code = exited ? WEXITSTATUS(status) : -1;
    std::string out = readFile(s.out());
    std::string log = readFile(s.work + "/log.txt");
    std::string cp = "C:\\app\\";
    if (s.name == "options") {
        check(code == 0, "launchProgram true");
        check(contains(out, "prop:tovex.moduleName=C:\\app\\run.exe\n"), "module name property");
        check(contains(out, "prop:sun.java.command=C:\\app\\run.exe\n"), "java command property");
        check(contains(out, "prop:tovex.tempDir=\n"), "empty temp dir property");
        check(contains(out, "prop:tovex.unextractedPosition=0\n"), "unextracted position");
        check(contains(out, "prop:java.library.path=/vm-test/native:/usr/bin:/bin\n"), "library path from PATH");
        check(contains(out, "prop:tovex.consoleCodepage=cp1252\n"), "console code page");
        check(contains(out, "prop:vm.test.a=x y\n"), "quoted configured option");
        check(contains(out, "prop:vm.test.b=dashj\n"), "-J option");
        check(contains(out, "prop:vm.test.file=from file\n"), "default options file");
        check(contains(out, "prop:vm.test.included=yes\n"), "included options file");
        check(contains(out, "prop:sun.locale.formatasdefault=false\n"), "formatasdefault");
        check(contains(out, "prop:user.language=de\n") && contains(out, "prop:user.country=DE\n"), "user locale");
        check(!contains(out, "arg:-Dsun.locale.formatasdefault") && !contains(out, "arg:-J"),
              "VM arguments do not reach main");
        check(contains(log, "vmoption count "), "option list logged");
    } else if (s.name == "args") {
        std::string expected =
            "arg:fixed1\narg:fixed 2\narg:plain\narg:with blank\narg:\u00e4\u00f6\u00fc \u4e2d\u6587 \U0001F600\narg:\nprop:";
        check(code == 0, "launchProgram true");
        check(out.compare(0, expected.size(), expected) == 0, "application arguments in order, non-ASCII intact");
        check(contains(log, "param 5: C:\\app\\run.exe\n"), "element 0 is the sixth value");
        check(contains(log, "param count: 12\n"), "five launcher values, program, two fixed, four given");
        check(contains(log, "main returned\ndest JVM\nlaunch done\n"), "VM destroyed after main");
    } else if (s.name == "throw") {
        check(code == 10, "launchProgram false");
        check(contains(log, "calling main\nmain returned\nERROR: an exception occurred in main: "
                            "java.lang.IllegalStateException: vm test failure\nERROR: could not call main\n"),
              "exception logged with its class and message");
        check(!contains(log, "dest JVM"), "VM not destroyed after an exception");
    } else if (s.name == "exit") {
        check(code == 3, "System.exit(3) ends the process with 3");
        check(!out.empty(), "main ran");
    } else if (s.name == "thread") {
        check(code == 0, "launchProgram true");
        check(exists(s.out() + ".thread"), "non-daemon thread finished before launchProgram returned");
    } else if (s.name == "firstrun-stop") {
        check(code == 0, "launchProgram true");
        check(exists(s.work + "/hook.txt"), "first-run hook called");
        check(!exists(s.out()), "main not called");
        check(contains(log, "checkFirstRun stopped further execution\ndest JVM\nlaunch done\n"), "stop logged");
    } else if (s.name == "firstrun-absent") {
        check(code == 0, "launchProgram true");
        check(!exists(s.work + "/hook.txt"), "no marker: first run not called");
        check(contains(out, "prop:tovex.isMarlowkit=true\n"), "marlowkit property");
        check(contains(log, "main class: com/marlowkit/runtime/launcher/WinLauncher\n"), "marlowkit launcher class");
    }
    (void)cp;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: jvm_case <case> <tovex-runtime.jar> <classes> <libjvm.so>\n");
        return 2;
    }
    Setup s{argv[1], argv[2], argv[3], argv[4], ""};
    char pattern[] = "/tmp/jvm_case_XXXXXX";
    if (!mkdtemp(pattern)) return 2;
    s.work = pattern;
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) runChild(s);
    int status = 0;
    waitpid(child, &status, 0);
    verify(s, status);
    if (failures == 0) {
        std::filesystem::remove_all(s.work);
    } else {
        std::printf("work directory kept: %s\n--- log ---\n%s--- out ---\n%s", s.work.c_str(),
                    readFile(s.work + "/log.txt").c_str(), readFile(s.out()).c_str());
    }
    return failures == 0 ? 0 : 1;
}
