// The VM option list: order, options files and includes, line rules, class-path
// overrides and composition, mandatory entries, locale options.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/paths.h"
#include "launcher/config.h"
#include "launcher/language.h"
#include "launcher/log.h"
#include "windows/options.h"
#include "windows/options_host.h"

namespace {

using Options = std::vector<std::string>;
using Args = std::vector<std::u16string>;

void makeDirectories(const std::string& hostPath) {
    std::string partial;
    for (size_t i = 0; i < hostPath.size(); ++i) {
        partial += hostPath[i];
        if (hostPath[i] == '/' && i > 0) mkdir(partial.c_str(), 0755);
    }
    mkdir(hostPath.c_str(), 0755);
}

class VmOptions : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vm_options_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        hostLauncherState() = HostLauncherState();
        hostLauncherState().driveRoot = root_;
        makeDirectories(root_ + "/C/App");
        setModulePathForTesting("C:\\App\\run.exe");
        setConfigForTesting({{CFG_MSG_FILE_NOT_FOUND, "File or directory {0} not found or empty"},
                             {CFG_MSG_ENV_VAR_UNDEFINED, "The environment variable {0} has to be defined"}});
        recordLanguageCode("de_DE");
        hostLogClear();
    }
    void TearDown() override {
        std::error_code error;
        std::filesystem::remove_all(root_, error);
        EXPECT_FALSE(error);
    }
    // Writes a file given by its launcher path ("C:\App\x").
    void write(const std::string& path, const std::string& content) {
        std::string host = hostPathOf(path);
        makeDirectories(host.substr(0, host.rfind('/')));
        std::ofstream out(host, std::ios::binary);
        out << content;
    }
    void mkdirs(const std::string& path) { makeDirectories(hostPathOf(path)); }
    static std::string nullHandle() {
        char text[64];
        std::snprintf(text, sizeof text, "%p", static_cast<void*>(nullptr));
        return text;
    }
    std::string loggedWithPrefix(const std::string& prefix) {
        for (const std::string& l : hostLogLines())
            if (l.rfind(prefix, 0) == 0) return l;
        return std::string();
    }
    bool logged(const std::string& line) {
        for (const std::string& l : hostLogLines())
            if (l == line) return true;
        return false;
    }
    Options build(const Args& args = {u"C:\\App\\run.exe"}, const Options& properties = {}) {
        return buildVmOptions(args, properties);
    }
    std::string classPath(const Args& args = {u"C:\\App\\run.exe"}) { return build(args).back(); }
    std::string root_;
};

TEST_F(VmOptions, OrderOfTheWholeList) {
    setConfigValueForTesting(CFG_VM_OPTIONS, "-Xmx64m \"-Dq=a b\" -classpath/a \"-classpath/p C:\\pre.jar\"");
    setConfigValueForTesting(CFG_ACCEPT_J_ARGUMENTS, "1");
    setConfigValueForTesting(CFG_CLASS_PATH, "A0lib\\a.jar");
    write("C:\\App\\run.vmoptions", "-Dfile=1\n");
    Options options = build({u"-Jelement0", u"-J-Dj=1", u"x", u"-Dsun.locale.formatasdefault=false"},
                            {"-Dp1", "-Dp2"});
    Options expected = {"-Dp1", "-Dp2", "-Xmx64m", "-Dq=a b", "-classpath/a", "element0", "-Dj=1",
                        "-Dsun.locale.formatasdefault=false", "-Duser.language=de", "-Duser.country=DE",
                        "-Dfile=1", "-Djava.class.path=C:\\pre.jar;C:\\App\\lib\\a.jar;"};
    EXPECT_EQ(options, expected);
    EXPECT_TRUE(logged("adding options\n"));
    EXPECT_TRUE(logged("vmoption count 12"));
    EXPECT_TRUE(logged("vmoption 11: -Djava.class.path=C:\\pre.jar;C:\\App\\lib\\a.jar;"));
}

TEST_F(VmOptions, JArgumentsOnlyWhenAccepted) {
    Options options = build({u"C:\\App\\run.exe", u"-J-Dj=1"});
    EXPECT_EQ(options, (Options{"-Dsun.locale.formatasdefault=true", "-Djava.class.path="}));
}

TEST_F(VmOptions, LocaleOptions) {
    struct Row {
        const char* name;
        Args args;
        std::string code;
        Options expected;
    } rows[] = {
        {"no argument", {u"run.exe"}, "de_DE", {"-Dsun.locale.formatasdefault=true"}},
        {"true", {u"run.exe", u"-Dsun.locale.formatasdefault=true"}, "de_DE", {"-Dsun.locale.formatasdefault=true"}},
        {"false", {u"run.exe", u"-Dsun.locale.formatasdefault=false"}, "de_DE",
         {"-Dsun.locale.formatasdefault=false", "-Duser.language=de", "-Duser.country=DE"}},
        {"last wins", {u"run.exe", u"-Dsun.locale.formatasdefault=false", u"-Dsun.locale.formatasdefault=true"},
         "de_DE", {"-Dsun.locale.formatasdefault=true"}},
        {"no country part", {u"run.exe", u"-Dsun.locale.formatasdefault=x"}, "no_NO_NY",
         {"-Dsun.locale.formatasdefault=x", "-Duser.language=no"}},
    };
    for (Row& row : rows) {
        recordLanguageCode(row.code);
        Options options;
        ClassPathOverrides overrides;
        addConfiguredOptions(row.args, options, overrides);
        EXPECT_EQ(options, row.expected) << row.name;
    }
}

TEST_F(VmOptions, IncludeOptionsJoiningAndNestedFilesInOtherFolders) {
    setConfigValueForTesting(CFG_VM_OPTIONS, "-include-options conf\\one.vmoptions -Dlast -include-options");
    write("C:\\App\\conf\\one.vmoptions", "-Done=1\n-include-options sub\\two.vmoptions\n-Done=2\n");
    write("C:\\App\\conf\\sub\\two.vmoptions", "-Dtwo=1\n-include-options ..\\..\\three.vmoptions\n");
    write("C:\\App\\three.vmoptions", "-Dthree=1\n");
    Options options;
    ClassPathOverrides overrides;
    addConfiguredOptions({u"run.exe"}, options, overrides);
    EXPECT_EQ(options, (Options{"-Done=1", "-Dtwo=1", "-Dthree=1", "-Done=2", "-Dlast", "-include-options",
                                "-Dsun.locale.formatasdefault=true"}));
    std::string line = loggedWithPrefix("adding vmoptions from <C:\\App\\conf\\sub\\two.vmoptions> (sub\\two.vmoptions) (");
    ASSERT_FALSE(line.empty());
    EXPECT_NE(line, "adding vmoptions from <C:\\App\\conf\\sub\\two.vmoptions> (sub\\two.vmoptions) (" +
                        nullHandle() + ")")
        << "an opened include is logged with its handle";
}

TEST_F(VmOptions, MissingIncludeAddsNothingAndReadingGoesOn) {
    write("C:\\App\\run.vmoptions", "-Da\n-include-options nowhere.vmoptions\n-include-options\n-Db\n");
    Options options = build();
    EXPECT_EQ(options, (Options{"-Dsun.locale.formatasdefault=true", "-Da", "-include-options", "-Db",
                                "-Djava.class.path="}));
    EXPECT_TRUE(logged("adding vmoptions from <C:\\App\\nowhere.vmoptions> (nowhere.vmoptions) (" + nullHandle() +
                       ")"));
}

TEST_F(VmOptions, IncludeCycleEnds) {
    write("C:\\App\\loop\\a.vmoptions", "-Da\n-include-options b.vmoptions\n");
    write("C:\\App\\loop\\b.vmoptions", "-Db\n-include-options a.vmoptions\n");
    Options options;
    ClassPathOverrides overrides;
    handleOptionLine("-include-options loop\\a.vmoptions", nullptr, options, overrides);
    EXPECT_EQ(options.size(), static_cast<size_t>(kMaxIncludeDepth));
    bool tripped = false;
    for (const std::string& line : hostLogLines())
        if (line.rfind("ERROR: include depth limit of 32 reached", 0) == 0) tripped = true;
    EXPECT_TRUE(tripped);
}

TEST_F(VmOptions, LineRules) {
    write("C:\\App\\run.vmoptions",
          "\xEF\xBB\xBF-Dbom=1\r\n"  // Notepad's UTF-8 byte-order mark: not part of the line
          "   -Dspaces=1   \r\n"
          "\xEF\xBB\xBF-Dinner=1\n"  // the same bytes later in the file are text
          "\t-Dtab=1\t\n"
          "    # indented comment\n"
          "#comment\n"
          "\n"
          "     \n"
          "\r\n"
          "-Dvalue=with inner  blanks\n"
          "-classpath\n"
          "-Dlast=no newline");
    Options options = build();
    EXPECT_EQ(options, (Options{"-Dsun.locale.formatasdefault=true", "-Dbom=1", "-Dspaces=1", "\xEF\xBB\xBF-Dinner=1",
                                "\t-Dtab=1\t", "-Dvalue=with inner  blanks", "-classpath", "-Dlast=no newline",
                                "-Djava.class.path="}));
}

TEST_F(VmOptions, LongLinesArriveInPieces) {
    std::string longLine = "-D" + std::string(kOptionsLineLimit + 100, 'x');
    write("C:\\App\\run.vmoptions", longLine + "\n-Dnext\n");
    Options options = build();
    ASSERT_EQ(options.size(), 5u);
    EXPECT_EQ(options[1], longLine.substr(0, kOptionsLineLimit));
    EXPECT_EQ(options[2], longLine.substr(kOptionsLineLimit));
    EXPECT_EQ(options[3], "-Dnext");
}

TEST_F(VmOptions, VariablesInOptionsFileLines) {
    setenv("VM_TEST_VALUE", "42", 1);
    write("C:\\App\\run.vmoptions", "-Dv=${VM_TEST_VALUE}\n-Ddir=%TOVEX_EXEDIR%x\n");
    Options options = build();
    unsetenv("VM_TEST_VALUE");
    EXPECT_EQ(options[1], "-Dv=42");
    EXPECT_EQ(options[2], "-Ddir=C:\\App\\x");
}

TEST_F(VmOptions, DefaultOptionsFileNames) {
    write("C:\\App\\run.exe.vmoptions", "-Dsecond\n");
    EXPECT_EQ(build()[1], "-Dsecond");
    EXPECT_FALSE(loggedWithPrefix("vmoptions: opts2: C:\\App\\run.exe.vmoptions, file: ").empty());
    EXPECT_FALSE(loggedWithPrefix("vmoptions: exe file: C:\\App\\run.exe, long: C:\\App\\run.exe, "
                                  "opts1: C:\\App\\run.vmoptions, file: ").empty());
    write("C:\\App\\run.vmoptions", "-Dfirst\n");
    Options options = build();
    EXPECT_EQ(options[1], "-Dfirst");
    EXPECT_EQ(options.size(), 3u) << "only the first file is read when it exists";
}

TEST_F(VmOptions, ClassPathOverrides) {
    setConfigValueForTesting(CFG_CLASS_PATH, "A0cfg.jar");
    setConfigValueForTesting(CFG_VM_OPTIONS, "\"-classpath C:\\first.jar\"");
    write("C:\\App\\run.vmoptions",
          "-classpath C:\\second.jar\n-classpath/p C:\\p1.jar\n-classpath/p C:\\p2.jar\n-classpath/a C:\\a.jar\n");
    EXPECT_EQ(classPath(), "-Djava.class.path=C:\\p2.jar;C:\\second.jar;C:\\a.jar");
}

TEST_F(VmOptions, AppendPartSeparator) {
    setConfigValueForTesting(CFG_CLASS_PATH, "A0cfg.jar");
    write("C:\\App\\run.vmoptions", "-classpath/a C:\\a.jar\n");
    EXPECT_EQ(classPath(), "-Djava.class.path=C:\\App\\cfg.jar;C:\\a.jar");
    write("C:\\App\\run.vmoptions", "-classpath C:\\r.jar;\n-classpath/a C:\\a.jar\n");
    EXPECT_EQ(classPath(), "-Djava.class.path=C:\\r.jar;C:\\a.jar");
    setConfigValueForTesting(CFG_CLASS_PATH, "");
    write("C:\\App\\run.vmoptions", "-classpath/a C:\\a.jar\n");
    EXPECT_EQ(classPath(), "-Djava.class.path=C:\\a.jar") << "no empty entry in front";
}

TEST_F(VmOptions, ComposedClassPath) {
    hostLauncherState().tempDir = "C:\\Tmp\\x_dir1";
    write("C:\\Tmp\\x_dir1\\a.jar", "");
    write("C:\\Tmp\\x_dir1\\b.zip", "");
    write("C:\\Tmp\\x_dir1\\notes.txt", "");
    write("C:\\Tmp\\x_dir1\\user\\u.jar", "");
    write("C:\\App\\libs\\one.jar", "");
    write("C:\\App\\libs\\two.ZIP", "");
    write("C:\\App\\lib\\present.jar", "");
    mkdirs("C:\\App\\classes");
    mkdirs("C:\\App\\empty");
    setenv("VM_TEST_CP", "\"C:\\e1.jar;C:\\e2.jar;\"", 1);
    setenv("VM_TEST_EMPTY", "", 1);
    setConfigValueForTesting(CFG_LAUNCHER_FLAVOUR, "i");
    setConfigValueForTesting(CFG_INSTALLATION_ROOT, "C:\\Inst");
    setConfigValueForTesting(CFG_CLASS_PATH,
                             "A1lib\\present.jar;;A0lib\\missing.jar;D1classes;E0VM_TEST_CP;E0VM_TEST_UNSET;"
                             "E0VM_TEST_EMPTY;S1libs;S1empty;X0unknown-type");
    std::string cp = classPath();
    unsetenv("VM_TEST_CP");
    unsetenv("VM_TEST_EMPTY");
    EXPECT_EQ(cp,
              "-Djava.class.path=C:\\Tmp\\x_dir1\\a.jar;C:\\Tmp\\x_dir1\\b.zip;C:\\Tmp\\x_dir1\\user\\u.jar;"
              "C:\\Inst\\.marlowkit\\mlkruntime.jar;C:\\App\\lib\\present.jar;C:\\App\\lib\\missing.jar;"
              "C:\\App\\classes;C:\\e1.jar;C:\\e2.jar;C:\\App\\libs\\one.jar;C:\\App\\libs\\two.ZIP;");
    EXPECT_TRUE(logged("classpath entry A1lib\\present.jar;;A0lib\\missing.jar;D1classes;E0VM_TEST_CP;"
                       "E0VM_TEST_UNSET;E0VM_TEST_EMPTY;S1libs;S1empty;X0unknown-type"));
}

TEST_F(VmOptions, ExtractedArchivesOnlyWhenSomethingWasExtracted) {
    write("C:\\App\\a.jar", "");
    hostLauncherState().tempDir = "";
    EXPECT_EQ(classPath(), "-Djava.class.path=");
}

TEST_F(VmOptions, DirectoryListing) {
    write("C:\\App\\d\\x.jar", "");
    write("C:\\App\\d\\y.zip", "");
    EXPECT_EQ(listDirectory("C:\\App\\d", "jar"), (std::vector<std::string>{"x.jar"}));
    EXPECT_EQ(listDirectory("C:\\App\\d", ".zip"), (std::vector<std::string>{"y.zip"}));
    std::string cp;
    EXPECT_FALSE(appendArchivesOfDirectory(cp, "C:\\App\\nothere", "jar"));
    EXPECT_TRUE(appendArchivesOfDirectory(cp, "C:\\App\\d", "zip"));
    EXPECT_EQ(cp, "C:\\App\\d\\y.zip;");
}

TEST_F(VmOptions, ClassPathIsBounded) {
    std::string entries;
    for (int i = 0; i < 500; ++i) entries += "A0" + std::string(100, 'p') + std::to_string(i) + ".jar;";
    setConfigValueForTesting(CFG_CLASS_PATH, entries);
    std::string cp = classPath();
    EXPECT_LE(cp.size(), kClassPathOptionLimit);
    EXPECT_EQ(cp.back(), ';') << "entries are left out whole, never cut";
    bool logged = false;
    for (const std::string& l : hostLogLines())
        if (l.rfind("ERROR: class path full", 0) == 0) logged = true;
    EXPECT_TRUE(logged);
}

using VmOptionsDeathTest = VmOptions;

TEST_F(VmOptionsDeathTest, MandatoryEntriesEndTheLaunch) {
    struct Row {
        const char* name;
        const char* entry;
        const char* message;
    } rows[] = {
        {"missing archive", "A1lib\\gone.jar", "File or directory lib\\\\gone.jar not found or empty"},
        {"missing directory", "D1nodir", "File or directory nodir not found or empty"},
        {"missing scan directory", "S1noscan", "File or directory noscan not found or empty"},
        {"defined but empty variable", "E1VM_TEST_EMPTY", "File or directory VM_TEST_EMPTY not found or empty"},
        {"undefined variable", "E1VM_TEST_UNDEFINED", "The environment variable VM_TEST_UNDEFINED has to be defined"},
    };
    setenv("VM_TEST_EMPTY", "", 1);
    unsetenv("VM_TEST_UNDEFINED");
    for (const Row& row : rows) {
        setConfigValueForTesting(CFG_CLASS_PATH, row.entry);
        EXPECT_EXIT(classPath(), ::testing::ExitedWithCode(1), row.message) << row.name;
    }
    unsetenv("VM_TEST_EMPTY");
}

TEST_F(VmOptions, OptionalEntriesNeverStopTheLaunch) {
    setConfigValueForTesting(CFG_CLASS_PATH, "A0gone.jar;D0nodir;S0noscan;E0VM_TEST_UNDEFINED_TOO");
    EXPECT_EQ(classPath(), "-Djava.class.path=C:\\App\\gone.jar;C:\\App\\nodir;");
}

}  // namespace
