// tovex-build --check on configurations written here, and the stub that a build
// takes when --stub names none or a keyword.
#include <sys/stat.h>
#include <unistd.h>

#include "launcher/config_ids.h"
#include "stubs.h"
#include "test_util.h"

using testutil::fakePe;
using testutil::runCli;
using testutil::ScratchDir;

namespace {

// ASCII text as UTF-16LE.
std::string utf16le(const std::string& text) {
    std::string out;
    for (char c : text) out += std::string(1, c) + '\0';
    return out;
}

// A width x 2 pixel 24-bit BMP.
std::string smallBmp(int width = 3) {
    std::string rows;
    const size_t stride = (width * 3 + 3) / 4 * 4;
    for (int y = 0; y < 2; ++y)
        rows += std::string(width * 3, static_cast<char>(0x40 * y)) + std::string(stride - width * 3, '\0');
    std::string bmp = "BM";
    testutil::put(bmp, 2, 54 + rows.size(), 4);
    testutil::put(bmp, 10, 54, 4);
    testutil::put(bmp, 14, 40, 4);
    testutil::put(bmp, 18, width, 4);
    testutil::put(bmp, 22, 2, 4);
    testutil::put(bmp, 26, 1, 2);
    testutil::put(bmp, 28, 24, 2);
    testutil::put(bmp, 34, rows.size(), 4);
    testutil::put(bmp, 53, 0, 1);
    return bmp + rows;
}

// A stub of the given Windows subsystem (2 GUI, 3 console).
std::string stubImage(int subsystem) {
    std::string image = fakePe();
    testutil::put(image, 0x80 + 24 + 68, subsystem, 2);
    return image;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Creates path (a trailing "/" makes a directory) with its parents. "PATH=CONTENT"
// gives the content ("x" without); CONTENT "zip:A,B" is a zip archive of the entries A
// and B, "utf16:TEXT" TEXT in UTF-16LE with a byte-order mark.
void create(const std::string& root, const std::string& spec) {
    size_t eq = spec.find('=');
    std::string path = spec.substr(0, eq);
    std::string content = eq == std::string::npos ? "x" : spec.substr(eq + 1);
    if (content.compare(0, 4, "zip:") == 0) {
        std::vector<std::string> names;
        for (size_t b = 4; b <= content.size();) {
            size_t comma = content.find(',', b);
            if (comma == std::string::npos) comma = content.size();
            names.push_back(content.substr(b, comma - b));
            b = comma + 1;
        }
        content = testutil::zipArchive(names);
    } else if (content.compare(0, 6, "utf16:") == 0) {
        std::string wide = "\xFF\xFE";
        for (size_t i = 6; i < content.size(); ++i) wide += std::string(1, content[i]) + '\0';
        content = wide;
    }
    std::string current = root;
    size_t start = 0;
    for (size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', start)) {
        current += "/" + path.substr(start, slash - start);
        ::mkdir(current.c_str(), 0777);
        start = slash + 1;
    }
    if (start < path.size()) {
        std::string error;
        ASSERT_TRUE(builder::writeWholeFile(root + "/" + path, content, error)) << error;
    }
}

// The application's jar with its main class and the runtime jar's launcher class.
const char kAppJar[] = "app.jar=zip:META-INF/MANIFEST.MF,a/,a/Main.class,com/tovex/runtime/WinLauncher.class";

struct CheckCase {
    const char* name;
    std::string config;
    std::vector<std::string> args;      // after "--check CONF"; {stubs} is the directory of gui.exe and console.exe
    std::vector<std::string> appFiles;  // made under the application directory {app}
    std::vector<std::string> expected;  // the lines on standard output; {conf} is the configuration file
};

const char kBase[] = "MAIN_CLASS = a.Main\nJVM_SEARCH_SEQUENCE = Y\n";
// With --app-dir: the class path holds the main class and the launcher class (kAppJar).
const char kAppBase[] = "MAIN_CLASS = a.Main\nJVM_SEARCH_SEQUENCE = Y\nCLASS_PATH = A1app.jar\n";

TEST(Check, EachFindingOnItsLine) {
    const std::vector<CheckCase> cases = {
        {"a sound configuration gives no finding; names ignore case as on Windows",
         "MAIN_CLASS = a.Main\nEXE_TYPE = 1\nJVM_SEARCH_SEQUENCE = B.\\jre;EJAVA_HOME\nMIN_VERSION = 17\n"
         "MAX_VERSION = 17\nCLASS_PATH = A1lib\\app.jar;S1plugins;A0lib\\optional.jar\n"
         "MSG_FILE_NOT_FOUND = Missing: {0}\nVM_OPTIONS = -Xmx1g \"-Dtitle=Acme Viewer (beta)\" -include-options "
         "app.vmoptions\n",
         {"--stub", "{stubs}/gui.exe", "--app-dir", "{app}"},
         {"Lib/APP.jar=zip:a/Main.class", "plugins/tovex-runtime.jar=zip:com/tovex/runtime/WinLauncher.class",
          "jre/bin/java.exe", "jre/bin/javaw.exe", "jre/release=IMPLEMENTOR=\"x\"\r\nJAVA_VERSION=\"17.0.9\"\r\n",
          "app.vmoptions=# comment\n\n  -Xss2m  \n-classpath/a extra.jar\n"},
         {}},
        {"classes in a nested directory, in a multi-release entry of a scanned jar, and in an appended jar",
         "MAIN_CLASS = a.b.Main\nJVM_SEARCH_SEQUENCE = Y\nCLASS_PATH = D1classes;S1lib\n"
         "[files]\nruntime.jar = runtime.jar\n",
         {"--app-dir", "{app}"}, {"classes/a/b/Main.class", "lib/x.jar=zip:a/,a/b/"},
         {}},
        {"the main class only in a multi-release entry", "MAIN_CLASS = a.Main\nJVM_SEARCH_SEQUENCE = Y\nCLASS_PATH = S1lib\n",
         {"--app-dir", "{app}"},
         {"lib/app.jar=zip:META-INF/versions/11/a/Main.class,com/tovex/runtime/WinLauncher.class"}, {}},
        {"the main class missing, one of that name in another package",
         "JVM_SEARCH_SEQUENCE = Y\nMAIN_CLASS = a.Main\nCLASS_PATH = A1lib\\app.jar\n", {"--app-dir", "{app}"},
         {"lib/app.jar=zip:com/tovex/runtime/WinLauncher.class,b/c/Main.class,META-INF/versions/9/x/Main.class"},
         {"{conf}:2: error: MAIN_CLASS a.Main: no a/Main.class in the class path under {app} (searched lib\\app.jar); "
          "did you mean b.c.Main?"}},
        {"a MAIN_CLASS written as a path or a file name",
         "MAIN_CLASS = com/acme/Main.class\nJVM_SEARCH_SEQUENCE = Y\nCLASS_PATH = A1app.jar\n", {"--app-dir", "{app}"},
         {kAppJar},
         {"{conf}:1: error: MAIN_CLASS com/acme/Main.class is not a class name, which the Java side needs (write "
          "com.acme.Main)"}},
        {"appended jars under user\\ count, in any case",
         "MAIN_CLASS = a.Main\nJVM_SEARCH_SEQUENCE = Y\nCLASS_PATH = A1app.jar\n[files]\nUser/runtime.jar = runtime.jar\n",
         {"--app-dir", "{app}"}, {"app.jar=zip:a/Main.class"}, {}},
        {"an appended jar that is missing is reported once",
         "MAIN_CLASS = a.Main\nJVM_SEARCH_SEQUENCE = Y\n[files]\ngone.jar = gone.jar\n", {"--app-dir", "{app}"}, {},
         {"{conf}:4: error: cannot read {dir}/gone.jar: No such file or directory"}},
        {"the launcher class of the runtime jar missing",
         "MAIN_CLASS = a.Main\nJVM_SEARCH_SEQUENCE = Y\nCLASS_PATH = A1app.jar;A0gone.jar\n", {"--app-dir", "{app}"},
         {"app.jar=zip:a/Main.class"},
         {"{conf}:3: error: CLASS_PATH: the launcher class com.tovex.runtime.WinLauncher is not on the class path "
          "under {app} (searched app.jar): ship the runtime jar (lib/tovex-runtime.jar of the release) in [files] or "
          "on CLASS_PATH, or the start fails with MSG_MAIN_CLASS_NOT_LOADED"}},
        {"no class path at all", kBase, {"--app-dir", "{app}"}, {},
         {"{conf}:1: error: MAIN_CLASS a.Main: no a/Main.class in the class path under {app} (the class path has no "
          "entry there)",
          "{conf}:1: error: CLASS_PATH: the launcher class com.tovex.runtime.WinLauncher is not on the class path "
          "under {app} (the class path has no entry there): ship the runtime jar (lib/tovex-runtime.jar of the "
          "release) in [files] or on CLASS_PATH, or the start fails with MSG_MAIN_CLASS_NOT_LOADED"}},
        {"a jar that is no zip archive; a variable's entry may hold the classes",
         "MAIN_CLASS = a.Main\nJVM_SEARCH_SEQUENCE = Y\nCLASS_PATH = A1bad.jar;E0APP_CP\n", {"--app-dir", "{app}"},
         {"bad.jar"},
         {"{conf}:3: warning: CLASS_PATH: bad.jar cannot be read as a jar (not a zip archive (too short)): the Java "
          "runtime finds no class in it"}},
        {"VM_OPTIONS split at the blanks of a value",
         std::string(kBase) + "VM_OPTIONS = \"-Dtitle=Acme Viewer (beta)\"\n", {}, {},
         {"{conf}:3: warning: VM_OPTIONS: \"Viewer\", \"(beta)\" do not start with \"-\" and the Java runtime ignores "
          "them: the value is split at blanks outside quotes, so an option with blanks in its value loses the words "
          "after the first (write it in quotes within the value: VM_OPTIONS = -Xmx1g \"-Dtitle=Acme Viewer\")"}},
        {"options files beside the executable, as the launcher reads them",
         std::string(kAppBase) + "VM_OPTIONS = -include-options gone.vmoptions\n", {"--app-dir", "{app}"},
         {kAppJar,
          "App.vmoptions=\xEF\xBB\xBF-Xmx512m\r\n# note\r\n  Xss2m\r\n-include-options sub/more.vmoptions\r\n"
          "-include-options ${HOME}\\x.vmoptions\r\n-include-options Gone.vmoptions\r\n",
          "sub/more.vmoptions=-Dx=1\n-include-options ../App.vmoptions\nnot-an-option\n",
          "Other.vmoptions=utf16:-Xmx1g\r\n", "notes.txt=Xmx"},
         {"{conf}:4: warning: -include-options gone.vmoptions: there is no such file under {app}: the launcher adds no "
          "option from it",
          "{app}/App.vmoptions:1: warning: begins with a UTF-8 byte-order mark (Notepad's \"UTF-8 with BOM\"): "
          "launchers of earlier releases take it as part of the first option, which the Java runtime then ignores "
          "(save the file as UTF-8 without BOM)",
          "{app}/App.vmoptions:3: warning: \"Xss2m\" is not an option (it does not start with \"-\"): the Java runtime "
          "ignores it",
          "{app}/sub/more.vmoptions:3: warning: \"not-an-option\" is not an option (it does not start with \"-\"): the "
          "Java runtime ignores it",
          "{app}/App.vmoptions:6: warning: -include-options Gone.vmoptions: there is no such file under {app}: the "
          "launcher adds no option from it",
          "{app}/Other.vmoptions:1: error: saved as UTF-16 (Notepad's \"Unicode\"): the launcher reads options files "
          "as ANSI text and takes no option from it (save it as ANSI or UTF-8)"}},
        {"a bundled runtime below MIN_VERSION, started by the fallback pass",
         "MAIN_CLASS = a.Main\nJVM_SEARCH_SEQUENCE = B.\\jre;Y\nCLASS_PATH = A1app.jar\nMIN_VERSION = 17\n",
         {"--app-dir", "{app}"}, {kAppJar, "jre/bin/java.exe", "jre/release=JAVA_VERSION=\"11.0.2\"\n"},
         {"{conf}:2: warning: JVM_SEARCH_SEQUENCE: the runtime directory .\\jre holds Java 11.0.2 (its release file), "
          "which MIN_VERSION \"17\" refuses: the search passes it by, and when it finds no other Java the fallback "
          "pass starts it without a version check although it is below MIN_VERSION"}},
        {"a bundled runtime above MAX_VERSION",
         "MAIN_CLASS = a.Main\nJVM_SEARCH_SEQUENCE = Rruntime;J\nCLASS_PATH = A1app.jar\nMAX_VERSION = 17\n",
         {"--app-dir", "{app}"},
         {kAppJar, "runtime/bin/java.exe", "runtime/release=JAVA_VERSION=\"21.0.1\"\nJAVA_RUNTIME_VERSION=\"21.0.1+12\"\n"},
         {"{conf}:2: warning: JVM_SEARCH_SEQUENCE: the runtime directory runtime holds Java 21.0.1 (its release file), "
          "which MAX_VERSION \"17\" refuses: the search passes it by, and when it finds no other Java the fallback "
          "pass starts it without a version check"}},
        {"a near-miss setting name", "MAIN_CLASS = a.Main\nJVM_SEARCH_SEQUENCE = Y\nmin_verison = 11\n", {}, {},
         {"{conf}:3: error: unknown setting min_verison; did you mean MIN_VERSION?"}},
        {"a [resources] key above the section", "MAIN_CLASS = a.Main\nFILE_VERSION = 1.2.3\n", {}, {},
         {"{conf}:2: error: unknown setting FILE_VERSION (FILE_VERSION is a key of the [resources] section)"}},
        {"a near-miss resource key", std::string(kBase) + "[resources]\nSPLASH_IMGE = splash.bmp\n", {}, {},
         {"{conf}:4: error: unknown resource key SPLASH_IMGE; did you mean SPLASH_IMAGE?"}},
        {"a setting in the [resources] section", std::string(kBase) + "[resources]\nCFG_MAIN_CLASS = b.Main\n", {}, {},
         {"{conf}:4: error: CFG_MAIN_CLASS is a setting, not a resource key: write it above the [resources] section"}},
        {"a key given twice: by name, by CFG_ name, by number, in [wide] and in [resources]",
         "MAIN_CLASS = a.Main\nJVM_SEARCH_SEQUENCE = Y\nCFG_MAIN_CLASS = b.Main\n122 = c.Main\n[wide]\n"
         "MSG_ERROR_CAPTION = x\nMSG_ERROR_CAPTION = y\n[resources]\nFILE_VERSION = 1\nFILE_VERSION = 2\n",
         {}, {},
         {"{conf}:3: warning: MAIN_CLASS is given again (earlier at {conf}:1): this line's value counts",
          "{conf}:4: warning: 122 (MAIN_CLASS) is given again (earlier at {conf}:3): this line's value counts",
          "{conf}:7: warning: MSG_ERROR_CAPTION is given again (earlier at {conf}:6): this line's value counts",
          "{conf}:10: warning: FILE_VERSION is given again (earlier at {conf}:9): this line's value counts"}},
        {"a configuration saved as UTF-16 is read",
         "\xFF\xFE" + utf16le("MAIN_CLASS = a.Main\r\nJVM_SEARCH_SEQUENCE = Y\r\nMIN_VERSION = 11\r\nMAX_VERSION = 1.8\r\n"),
         {}, {}, {"{conf}:3: error: MIN_VERSION \"11\" is above MAX_VERSION \"1.8\": no Java version passes both (versions compare as numbers)"}},
        {"UTF-16 without a byte-order mark, cut off", utf16le("MAIN_CLASS = a.Main\n") + "M", {}, {},
         {"{conf}:1: error: the file is UTF-16LE (Notepad's \"Unicode\", PowerShell 5's \">\") text cut off in the "
          "middle of a character"}},
        {"a [resources] file that is missing: its path, and nothing about what it would have set",
         std::string(kBase) + "SPLASH_ENABLED = 1\n[resources]\nSPLASH_IMAGE = images/gone.png\n", {}, {},
         {"{conf}:5: error: cannot open {dir}/images/gone.png: No such file or directory"}},
        {"a splash image wider than a screen", std::string(kBase) + "SPLASH_ENABLED = 1\n[resources]\nSPLASH_IMAGE = wide.bmp\n",
         {}, {},
         {"{conf}:5: warning: SPLASH_IMAGE is 1921 x 2 pixels, more than a 1920 x 1200 screen shows: the splash "
          "window does not fit the screen, and the image adds 23150 bytes to the executable (scale it down)"}},
        {"a line the parser refuses is the only finding", "MAIN_CLASS = a\n\nNO_SUCH = 1\nMIN_VERSION = 2\nMAX_VERSION = 1\n",
         {}, {}, {"{conf}:3: error: unknown setting NO_SUCH"}},
        {"a --set the parser refuses", kBase, {"--set", "SPLASH_WIDTH=wide"}, {},
         {"--set SPLASH_WIDTH: error: SPLASH_WIDTH: not a number: \"wide\" (a decimal integer within 32 bits is "
          "expected)"}},
        {"no MAIN_CLASS", "JVM_SEARCH_SEQUENCE = Y\nMAIN_CLASS =\n", {}, {},
         {"{conf}:2: error: no MAIN_CLASS: the launcher hands an empty class name to the Java side and the start "
          "fails"}},
        {"a search sequence of variables only, and an entry the launcher ignores",
         "MAIN_CLASS = a.Main\nJVM_SEARCH_SEQUENCE = EJAVA_HOME;b.\\jre; Y\n", {}, {},
         {"{conf}:2: warning: JVM_SEARCH_SEQUENCE: the entry \"b.\\jre\" is ignored: 'b' is no entry letter (A, B, R, "
          "E, S, Y, J)",
          "{conf}:2: warning: JVM_SEARCH_SEQUENCE: the entry \" Y\" is ignored: ' ' is no entry letter (A, B, R, E, S, "
          "Y, J)",
          "{conf}:2: warning: JVM_SEARCH_SEQUENCE has no entry that can find a Java runtime on a machine without "
          "JAVA_HOME or a like variable (add B.\\jre for a bundled runtime, or J, Y or S)"}},
        {"blanks around an entry's text", "MAIN_CLASS = a.Main\nJVM_SEARCH_SEQUENCE = E JAVA_HOME;B.\\jre ;Y\n", {}, {},
         {"{conf}:2: warning: JVM_SEARCH_SEQUENCE: the entry \"E JAVA_HOME\" has blanks around its text, which the "
          "launcher keeps (meant \"EJAVA_HOME\"?)",
          "{conf}:2: warning: JVM_SEARCH_SEQUENCE: the entry \"B.\\jre \" has blanks around its text, which the "
          "launcher keeps (meant \"B.\\jre\"?)"}},
        {"no search sequence at all; J counts as a source", "MAIN_CLASS = a.Main\n", {"--set", "MIN_VERSION=1.8"}, {},
         {"{conf}:1: warning: no JVM_SEARCH_SEQUENCE: nothing that can find a Java runtime on a machine without "
          "JAVA_HOME or a like variable (add B.\\jre for a bundled runtime, or J, Y or S)"}},
        {"J alone is a source", "MAIN_CLASS = a.Main\nJVM_SEARCH_SEQUENCE = J\n", {}, {}, {}},
        {"MIN_VERSION above MAX_VERSION (numbers: 11 is above 8)",
         std::string(kBase) + "MAX_VERSION = 1.8\nMIN_VERSION = 11\n", {}, {},
         {"{conf}:4: error: MIN_VERSION \"11\" is above MAX_VERSION \"1.8\": no Java version passes both (versions "
          "compare as numbers)"}},
        {"limits in the right numeric order, every entry kind (9 below 17)",
         "MAIN_CLASS = a.Main\nJVM_SEARCH_SEQUENCE = J;Y\nMIN_VERSION = 9\nMAX_VERSION = 17\n", {}, {}, {}},
        {"J alone with limits in the right numeric order",
         "MAIN_CLASS = a.Main\nJVM_SEARCH_SEQUENCE = J\nMIN_VERSION = 9\nMAX_VERSION = 17\n", {}, {}, {}},
        {"an upper limit admits what continues it (17 admits 17.0.9 as a lower limit)",
         "MAIN_CLASS = a.Main\nJVM_SEARCH_SEQUENCE = Y\nMIN_VERSION = 17.0.9\nMAX_VERSION = 17\n", {}, {}, {}},
        {"no version passes, but the bundled runtime is retried without a version check",
         "MAIN_CLASS = a.Main\nJVM_SEARCH_SEQUENCE = B.\\jre;J\nMIN_VERSION = 11\nMAX_VERSION = 1.8\n", {}, {},
         {"{conf}:3: warning: MIN_VERSION \"11\" is above MAX_VERSION \"1.8\": no Java version passes both "
          "(versions compare as numbers); only a runtime directory retried without a version "
          "check can start"}},
        {"mandatory class-path entries missing under the application directory",
         std::string(kBase) + "CLASS_PATH = A1lib\\app.jar;A0lib\\opt.jar;D1classes;S1plugins;E1APP_CP;"
                              "A1%APPDATA%\\x.jar;A1C:\\abs\\y.jar\n",
         {"--app-dir", "{app}"}, {"plugins"},
         {"{conf}:3: error: CLASS_PATH: the mandatory entry lib\\app.jar is missing under {app}: the start fails "
          "with MSG_FILE_NOT_FOUND",
          "{conf}:3: error: CLASS_PATH: the mandatory entry classes is missing under {app}: the start fails with "
          "MSG_FILE_NOT_FOUND",
          "{conf}:3: error: CLASS_PATH: the mandatory directory plugins is missing under {app}: the start fails "
          "with MSG_FILE_NOT_FOUND"}},
        {"without --app-dir nothing beside the executable is looked up",
         "MAIN_CLASS = a.Main\nJVM_SEARCH_SEQUENCE = B.\\jre\nCLASS_PATH = A1lib\\app.jar\n", {}, {}, {}},
        {"the only runtime directory missing is an error",
         "MAIN_CLASS = a.Main\nJVM_SEARCH_SEQUENCE = B.\\jre;EJAVA_HOME\nCLASS_PATH = A1app.jar\n",
         {"--app-dir", "{app}"}, {kAppJar},
         {"{conf}:2: error: JVM_SEARCH_SEQUENCE: the runtime directory .\\jre is missing under {app}, and no other "
          "entry can find a Java runtime"}},
        {"a runtime directory without javaw.exe for a GUI application, beside another source",
         "MAIN_CLASS = a.Main\nEXE_TYPE = 1\nJVM_SEARCH_SEQUENCE = Rruntime;Y\nCLASS_PATH = A1app.jar\n",
         {"--app-dir", "{app}"}, {"runtime/bin/java.exe", kAppJar},
         {"{conf}:3: warning: JVM_SEARCH_SEQUENCE: the runtime directory runtime has no bin\\javaw.exe under {app}"}},
        {"EXE_TYPE 1 with the console stub", std::string(kBase) + "EXE_TYPE = 1\n", {"--stub", "{stubs}/console.exe"},
         {},
         {"{conf}:3: warning: EXE_TYPE 1 (a GUI application) with the console stub {stubs}/console.exe: a console "
          "window opens beside the application (use --stub gui)"}},
        {"a console type with the GUI stub", kBase, {"--stub", "{stubs}/gui.exe"}, {},
         {"{conf}:1: warning: EXE_TYPE 0 with the GUI stub {stubs}/gui.exe: errors go to standard error, which a "
          "program started from Explorer does not have (set EXE_TYPE = 1 or use --stub console)"}},
        {"a stub that is no PE image", kBase, {"--stub", "{conf}"}, {},
         {"--stub: error: {conf}: not a PE32+ image (no MZ header)"}},
        {"a splash without size or image", std::string(kBase) + "SPLASH_ENABLED = 1\nSPLASH_WIDTH = 300\n", {}, {},
         {"{conf}:3: warning: SPLASH_ENABLED without SPLASH_HEIGHT: the splash window has no size and is not seen",
          "{conf}:3: warning: SPLASH_ENABLED without SPLASH_IMAGE in [resources]: the stub's placeholder image is "
          "shown"}},
        {"a splash image gives the splash window its size",
         std::string(kBase) + "SPLASH_ENABLED = 1\n[resources]\nSPLASH_IMAGE = splash.bmp\n", {}, {}, {}},
        {"a resource line the build refuses", std::string(kBase) + "[resources]\nICON = splash.bmp\n", {}, {},
         {"{conf}:4: error: {dir}/splash.bmp: not an .ico file or a PNG image"}},
        {"messages with more than one {0}, narrow, wide and in a language set",
         std::string(kBase) + "MSG_FILE_NOT_FOUND = {0} and {0}\nMSG_NO_JVM_BITS = only {0}\n[wide]\n"
                              "MSG_ERROR_CAPTION = {0}{0}{0}\n[lang de]\nMSG_NO_JVM_BITS = {0}-Bit {0}\n",
         {}, {},
         {"{conf}:3: warning: MSG_FILE_NOT_FOUND has 2 \"{0}\": only the first is filled in, the others are shown as "
          "they are",
          "{conf}:6: warning: MSG_ERROR_CAPTION has 3 \"{0}\": only the first is filled in, the others are shown as "
          "they are",
          "{conf}:8: warning: MSG_NO_JVM_BITS has 2 \"{0}\": only the first is filled in, the others are shown as "
          "they are"}},
        {"appended files: one missing, and the executable above the 2 GB limit",
         std::string(kBase) + "[files]\nlib/gone.jar = gone.jar\nbig.bin = big.bin\nsmall.bin = small.bin\n",
         {"--stub", "{stubs}/console.exe"}, {},
         {"{conf}:4: error: cannot read {dir}/gone.jar: No such file or directory",
          "{conf}:5: error: with this file the executable would be {total} bytes, more than the launcher can "
          "read (at most 2147483647: its file positions are 32-bit)"}},
        {"a class-data-sharing option of the user's own: the managed archive steps aside",
         std::string(kBase) + "VM_OPTIONS = -Xmx1g \"-XX:SharedArchiveFile=C:\\my.jsa\"\n", {}, {},
         {"{conf}:3: warning: VM_OPTIONS sets class-data sharing itself (-XX:SharedArchiveFile=C:\\my.jsa): the "
          "launcher's managed archive (CLASS_DATA_SHARING) is not used"}},
        {"the same option with class-data sharing turned off: nothing to say",
         std::string(kBase) + "CLASS_DATA_SHARING = 0\nVM_OPTIONS = -Xshare:off\n", {}, {}, {}},
        {"class-data sharing asked for with an appended jar (extracted anew every start)",
         std::string(kBase) + "CLASS_DATA_SHARING = 1\n[files]\nlib/app.jar = small.bin\n", {}, {},
         {"{conf}:3: warning: CLASS_DATA_SHARING with appended archive lib\\app.jar: appended files are extracted "
          "anew at every start, so the managed archive is not used (ship the jars beside the executable, or set "
          "CLASS_DATA_SHARING = 0)"}},
        {"FILE_COUNT set by hand beside appended files", std::string(kBase) + "FILE_COUNT = 1\n",
         {"--file", "small.bin={dir}/small.bin"}, {},
         {"{conf}:3: error: FILE_COUNT is set by hand while files are appended (the builder sets it from the "
          "appended files)"}},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        std::string conf = dir.write("app.conf", c.config);
        dir.write("gui.exe", stubImage(builder::kSubsystemGui));
        dir.write("console.exe", stubImage(builder::kSubsystemConsole));
        dir.write("small.bin", std::string(100, 's'));
        dir.write("splash.bmp", smallBmp());
        dir.write("wide.bmp", smallBmp(1921));
        dir.write("runtime.jar", testutil::zipArchive({"com/tovex/runtime/WinLauncher.class"}));
        ASSERT_EQ(::truncate(dir.write("big.bin", "").c_str(), 0x80000000LL), 0);  // sparse: takes no disk space
        std::string app = dir.file("app");
        ::mkdir(app.c_str(), 0777);
        for (const std::string& f : c.appFiles) create(app, f);
        // {total}: the stub up to its block (0x400 bytes of the fake image), the block, and the
        // appended files that exist, each after its 8-byte length.
        std::string total;
        {
            builder::BuildInput input;
            builder::BlockData block;
            std::string error;
            if (builder::parseConfigText(c.config, conf, dir.path(), input, error) &&
                builder::finishBlock(input, block, error))
                total = std::to_string(0x400 + builder::encodeBlock(block).size() + 8 + 0x80000000ull);
        }
        auto expand = [&](const std::string& s) {
            std::string out = replaced(replaced(s, "{conf}", conf), "{app}", app);
            return replaced(replaced(replaced(out, "{stubs}", dir.path()), "{dir}", dir.path()), "{total}", total);
        };
        std::vector<std::string> args = {"--check", conf};
        for (const std::string& a : c.args) args.push_back(expand(a));
        auto r = runCli(args);
        std::string expected;
        int errors = 0, warnings = 0;
        for (const std::string& line : c.expected) {
            expected += expand(line) + "\n";
            (line.find(": error: ") != std::string::npos ? errors : warnings) += 1;
        }
        EXPECT_EQ(r.out, expected);
        EXPECT_EQ(r.code, errors ? 1 : 0);
        std::string summary = "tovex-build: " + conf + ": " + std::to_string(errors) +
                              (errors == 1 ? " error, " : " errors, ") + std::to_string(warnings) +
                              (warnings == 1 ? " warning\n" : " warnings\n");
        EXPECT_EQ(r.err, summary);
        EXPECT_FALSE(dir.exists("app.exe"));
    }
}

struct StubCase {
    const char* name;
    std::vector<std::string> layout;  // files under the scratch directory
    std::string builderDir;           // where the builder sits, under the scratch directory
    std::string argument;             // of --stub ("" for none)
    const char* exeType;              // EXE_TYPE of the configuration (nullptr: absent)
    std::string expected;             // the stub taken, under the scratch directory ("" when none is found)
};

TEST(Stubs, FoundBesideTheBuilderByTypeOrKeyword) {
    const std::vector<StubCase> cases = {
        {"release layout, GUI type", {"stubs/launcher-gui.exe", "stubs/launcher-console.exe"}, "bin", "", "1",
         "stubs/launcher-gui.exe"},
        {"release layout, type 5 keeps message boxes", {"stubs/launcher-gui.exe", "stubs/launcher-console.exe"}, "bin",
         "", "5", "stubs/launcher-gui.exe"},
        {"release layout, console by default", {"stubs/launcher-gui.exe", "stubs/launcher-console.exe"}, "bin", "",
         nullptr, "stubs/launcher-console.exe"},
        {"type 2 is a console type", {"stubs/launcher-console.exe"}, "bin", "", "2", "stubs/launcher-console.exe"},
        {"host build tree: the Windows build beside it", {"win/launcher-console.exe"}, "host", "", "0",
         "win/launcher-console.exe"},
        {"Windows build tree: the stubs beside the builder", {"win/launcher-gui.exe"}, "win", "gui", "0",
         "win/launcher-gui.exe"},
        {"the release directory comes first", {"stubs/launcher-gui.exe", "bin/launcher-gui.exe"}, "bin", "gui",
         nullptr, "stubs/launcher-gui.exe"},
        {"keyword console against a GUI type", {"stubs/launcher-gui.exe", "stubs/launcher-console.exe"}, "bin",
         "console", "1", "stubs/launcher-console.exe"},
        {"release layout, a builder per system", {"stubs/launcher-gui.exe", "stubs/launcher-console.exe"},
         "bin/linux-aarch64", "", "1", "stubs/launcher-gui.exe"},
        {"no stub anywhere", {"stubs/launcher-console.exe"}, "bin/macos-arm64", "", "1", ""},
    };
    for (const StubCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        for (const std::string& f : c.layout) create(dir.path(), f);
        create(dir.path(), c.builderDir + "/");
        builder::BuildInput input;
        if (c.exeType) input.strings[CFG_EXE_TYPE] = builder::Setting{c.exeType, "x:1"};
        std::string path, note, error;
        bool ok = builder::resolveStub(c.argument, input, dir.file(c.builderDir), path, note, error);
        if (c.expected.empty()) {
            EXPECT_FALSE(ok);
            std::string top = dir.path(), parent = top + "/bin";
            EXPECT_EQ(error, "cannot find the stub launcher-gui.exe (looked for " + parent +
                                 "/stubs/launcher-gui.exe, " + parent + "/win/launcher-gui.exe, " + parent +
                                 "/macos-arm64/launcher-gui.exe, " + top + "/stubs/launcher-gui.exe); give --stub PATH");
            continue;
        }
        ASSERT_TRUE(ok) << error;
        EXPECT_EQ(path, dir.file(c.expected));
        std::string why = c.argument.empty() ? "EXE_TYPE " + std::string(c.exeType ? c.exeType : "0")
                                             : "--stub " + c.argument;
        EXPECT_EQ(note, "tovex-build: stub " + dir.file(c.expected) + " (" + why + ")\n");
    }
    // A path is taken as it is, without a note.
    std::string path, note, error;
    ASSERT_TRUE(builder::resolveStub("my/stub.exe", builder::BuildInput(), "/nowhere", path, note, error));
    EXPECT_EQ(path, "my/stub.exe");
    EXPECT_EQ(note, "");
}

}  // namespace
