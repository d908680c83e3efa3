// The launcher's system properties and the argument list of the launcher class's main.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "files/paths.h"
#include "launcher/config.h"
#include "launcher/log.h"
#include "windows/java_vm_launcher.h"
#include "windows/options_host.h"

namespace {

using Wide = std::vector<std::u16string>;

class VmLauncher : public ::testing::Test {
protected:
    void SetUp() override {
        hostLauncherState() = HostLauncherState();
        setModulePathForTesting("C:\\App\\run.exe");
        setConfigForTesting({{CFG_MAIN_CLASS, "com.example.Main"}});
        hostLogClear();
        const char* path = std::getenv("PATH");
        savedPath_ = path ? path : "";
    }
    void TearDown() override { setenv("PATH", savedPath_.c_str(), 1); }
    std::string savedPath_;
};

TEST_F(VmLauncher, LauncherArguments) {
    struct Row {
        const char* name;
        std::map<int32_t, std::string> config;
        Wide expected;
    } rows[] = {
        {"defaults", {{CFG_MAIN_CLASS, "a.B"}}, {u"false", u"a.B", u"", u"", u"false"}},
        {"gui type is exactly 1", {{CFG_EXE_TYPE, "1"}}, {u"true", u"", u"", u"", u"false"}},
        {"type 5 is not gui here", {{CFG_EXE_TYPE, "5"}}, {u"false", u"", u"", u"", u"false"}},
        {"fifth argument non-zero", {{CFG_FIFTH_LAUNCHER_ARG, "2"}}, {u"false", u"", u"", u"", u"true"}},
        {"log names made absolute",
         {{CFG_ERROR_LOG_ENABLED, "1"}, {CFG_ERROR_LOG_FILE, "logs\\err.txt"}, {CFG_OUTPUT_LOG_ENABLED, "1"},
          {CFG_OUTPUT_LOG_FILE, "%TOVEX_EXEDIR%Out.TXT"}},
         {u"false", u"", u"C:\\App\\logs\\err.txt", u"C:\\App\\Out.TXT", u"false"}},
        {"dollar names kept", {{CFG_ERROR_LOG_ENABLED, "1"}, {CFG_ERROR_LOG_FILE, "$stderr"}},
         {u"false", u"", u"$stderr", u"", u"false"}},
        {"disabled logs are empty", {{CFG_ERROR_LOG_FILE, "err.txt"}, {CFG_OUTPUT_LOG_FILE, "out.txt"}},
         {u"false", u"", u"", u"", u"false"}},
        {"absolute name kept with its case", {{CFG_OUTPUT_LOG_ENABLED, "1"}, {CFG_OUTPUT_LOG_FILE, "D:\\Logs\\..\\O.log"}},
         {u"false", u"", u"", u"D:\\O.log", u"false"}},
    };
    for (Row& row : rows) {
        setConfigForTesting(row.config);
        Wide list;
        buildLauncherArguments(list);
        EXPECT_EQ(list, row.expected) << row.name;
    }
}

TEST_F(VmLauncher, MainArgumentList) {
    struct Row {
        const char* name;
        std::map<int32_t, std::string> config;
        Wide argumentList;
        Wide tail;  // after the five launcher arguments
    } rows[] = {
        {"only the program", {}, {u"C:\\App\\run.exe"}, {u"C:\\App\\run.exe"}},
        {"no element 0", {}, {}, {}},
        {"configured arguments before the command line",
         {{CFG_APP_ARGUMENTS, "-a \"b c\" %TOVEX_EXEDIR%d"}},
         {u"run.exe", u"x", u"y z"},
         {u"run.exe", u"-a", u"b c", u"C:\\App\\d", u"x", u"y z"}},
        {"-J is an ordinary argument when not accepted", {}, {u"run.exe", u"-J-Xmx1g"}, {u"run.exe", u"-J-Xmx1g"}},
        {"-J left out when accepted", {{CFG_ACCEPT_J_ARGUMENTS, "1"}}, {u"run.exe", u"-J-Xmx1g", u"-j"},
         {u"run.exe", u"-j"}},
        {"formatasdefault never reaches main", {}, {u"run.exe", u"-Dsun.locale.formatasdefault=false", u"a"},
         {u"run.exe", u"a"}},
        {"element 0 passed whatever it looks like", {{CFG_ACCEPT_J_ARGUMENTS, "1"}},
         {u"-Dsun.locale.formatasdefault=x", u"-Jy"},
         {u"-Dsun.locale.formatasdefault=x"}},
        {"non-ASCII kept as UTF-16", {}, {u"run.exe", u"\u00fc\u4e2d\U0001F600"}, {u"run.exe", u"\u00fc\u4e2d\U0001F600"}},
    };
    for (Row& row : rows) {
        std::map<int32_t, std::string> config = row.config;
        config[CFG_MAIN_CLASS] = "m.Main";
        setConfigForTesting(config);
        Wide list = buildMainArguments(row.argumentList);
        ASSERT_GE(list.size(), 5u) << row.name;
        EXPECT_EQ(list[1], u"m.Main") << row.name;
        EXPECT_EQ(Wide(list.begin() + 5, list.end()), row.tail) << row.name;
    }
}

TEST_F(VmLauncher, LauncherPropertiesInOrder) {
    setenv("PATH", "C:\\native;C:\\Windows", 1);
    unsetenv("MANPATH");
    hostLauncherState().hasSemaphoreName = true;
    hostLauncherState().semaphoreName = "Local\\c:_app_run.exe";
    hostLauncherState().tempDir = "C:\\T\\e_dir1";
    hostLauncherState().unextractedPosition = 1234;
    hostLauncherState().processCommFilePrefix = "C:\\T\\";
    hostLauncherState().consoleOutputCodePage = 850;
    setConfigForTesting({{CFG_LAUNCHER_FLAVOUR, "i"}, {CFG_SINGLE_INSTANCE, "1"}});
    std::vector<std::string> expected = {
        "-Dtovex.semaphoreName=Local\\c:_app_run.exe",
        "-Dtovex.isMarlowkit=true",
        "-Dtovex.moduleName=C:\\App\\run.exe",
        "-Dsun.java.command=C:\\App\\run.exe",
        "-Dtovex.processCommFile=C:\\T\\tvx_p" + std::to_string(getpid()) + ".tmp",
        "-Dtovex.tempDir=C:\\T\\e_dir1",
        "-Dtovex.unextractedPosition=1234",
        "-Djava.library.path=C:\\native;C:\\Windows",
        "-Dtovex.consoleCodepage=cp850",
    };
    EXPECT_EQ(buildLauncherProperties(), expected);
}

TEST_F(VmLauncher, LauncherPropertiesConditions) {
    setenv("MANPATH", "/usr/man", 1);
    hostLauncherState().languageRestart = true;
    hostLauncherState().unextractedPosition = 99;
    setConfigForTesting({{CFG_LAUNCHER_FLAVOUR, "e"}});
    std::vector<std::string> properties = buildLauncherProperties();
    unsetenv("MANPATH");
    ASSERT_EQ(properties.size(), 5u);
    EXPECT_EQ(properties[0], "-Dtovex.moduleName=C:\\App\\run.exe");
    EXPECT_EQ(properties[2], "-Dtovex.tempDir=") << "present with an empty value when nothing was extracted";
    EXPECT_EQ(properties[3], "-Dtovex.unextractedPosition=-1");
    EXPECT_EQ(properties[4].rfind("-Djava.library.path=", 0), 0u);
}

TEST_F(VmLauncher, OverlongPathLeavesTheLibraryPathEmpty) {
    setenv("PATH", std::string(9000, 'p').c_str(), 1);
    std::vector<std::string> properties = buildLauncherProperties();
    bool found = false;
    for (const std::string& p : properties)
        if (p == "-Djava.library.path=") found = true;
    EXPECT_TRUE(found);
}

TEST_F(VmLauncher, LauncherClassByFlavour) {
    setConfigForTesting({{CFG_LAUNCHER_FLAVOUR, "i"}});
    EXPECT_EQ(launcherClassName(), "com/marlowkit/runtime/launcher/WinLauncher");
    setConfigForTesting({{CFG_LAUNCHER_FLAVOUR, "e"}});
    EXPECT_EQ(launcherClassName(), "com/tovex/runtime/WinLauncher");
    setConfigForTesting({});
    EXPECT_EQ(launcherClassName(), "com/tovex/runtime/WinLauncher");
}

TEST_F(VmLauncher, NoVmEntryIsAFailedCreation) {
    hostLauncherState().createJavaVm = nullptr;
    EXPECT_FALSE(launchProgram({u"run.exe"}, true));
    std::vector<std::string> lines = hostLogLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front(), "launching program");
    EXPECT_EQ(lines.back(), "ERROR: could not initialize JVM");
    EXPECT_FALSE(vmExists());
}

}  // namespace

// The stack of the thread that runs main: the last -Xss as the VM reads it, 0 for none or a
// value the VM would refuse (the VM then runs on the launcher's own thread).
TEST(MainThreadStack, LastXssInBytes) {
    struct Row {
        const char* name;
        std::vector<std::string> options;
        uint64_t bytes;
    } rows[] = {
        {"no -Xss", {"-Xmx64m", "-Dx=-Xss1m"}, 0},
        {"bytes", {"-Xss65536"}, 65536},
        {"k, m and g in either case", {"-Xss512k"}, 512ull << 10},
        {"megabytes", {"-Xss16M"}, 16ull << 20},
        {"gigabytes", {"-Xss1g"}, 1ull << 30},
        {"the last one counts", {"-Xss1m", "-Xmx1g", "-Xss16m"}, 16ull << 20},
        {"a bad last one leaves the stack alone", {"-Xss16m", "-Xss16q"}, 0},
        {"no digits", {"-Xss", "-Xssm"}, 0},
        {"trailing text", {"-Xss16mb"}, 0},
        {"zero", {"-Xss0"}, 0},
        {"beyond the limit", {"-Xss2048g"}, 0},
        {"overflowing digits", {"-Xss99999999999999999999999"}, 0},
        {"-XX:ThreadStackSize is the VM's own", {"-XX:ThreadStackSize=16384"}, 0},
    };
    for (const Row& row : rows) EXPECT_EQ(mainThreadStackSize(row.options), row.bytes) << row.name;
}

TEST(LaunchFailures, ExceptionOfMainAndVmCreationResult) {
    struct Row {
        const char* exception;  // its toString
        const char* mainClass;
        int32_t id;
        const char* argument;
    } rows[] = {
        {"java.lang.IllegalStateException: boom", "demo.Main", 1014, "java.lang.IllegalStateException: boom"},
        {"java.lang.Error", "demo.Main", 1014, "java.lang.Error"},
        {"", "demo.Main", 1014, "an exception"},
        {"java.lang.RuntimeException: a: b", "demo.Main", 1014, "java.lang.RuntimeException: a: b"},
        // The configured main class is missing: 1010 names it.
        {"java.lang.ClassNotFoundException: demo.Main", "demo.Main", 1010, "demo.Main"},
        {"java.lang.ClassNotFoundException: demo.Main", "demo/Main", 1010, "demo.Main"},
        // A class the program itself looks up later is the program's own exception.
        {"java.lang.ClassNotFoundException: plugin.Extra", "demo.Main", 1014,
         "java.lang.ClassNotFoundException: plugin.Extra"},
        {"java.lang.ClassNotFoundException: Error: no main class is configured.", "", 1014,
         "java.lang.ClassNotFoundException: Error: no main class is configured."},
        {"java.lang.NoClassDefFoundError: lib/Dep", "demo.Main", 1014, "java.lang.NoClassDefFoundError: lib/Dep"},
    };
    for (const Row& row : rows) {
        LaunchFailure f = exceptionFailure(row.exception, row.mainClass);
        EXPECT_EQ(f.id, row.id) << row.exception;
        EXPECT_EQ(f.argument, row.argument);
        EXPECT_EQ(f.details, "");
    }
    EXPECT_EQ(createVmResultText(JNI_OK), "");
    EXPECT_EQ(createVmResultText(JNI_ENOMEM), "Java reported that there is not enough memory (JNI_CreateJavaVM returned -4).");
    EXPECT_EQ(createVmResultText(JNI_EINVAL), "Java refused one of the options it was given (JNI_CreateJavaVM returned -6).");
    EXPECT_EQ(createVmResultText(-1), "JNI_CreateJavaVM returned -1.");
}
