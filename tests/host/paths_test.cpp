// Path rules: collapse, relative test, lower-casing, drive roots, absolute forms.
#include <gtest/gtest.h>

#include "files/paths.h"

TEST(Paths, CollapseBackslashes) {
    struct Row {
        const char* in;
        const char* out;
    } rows[] = {
        {"", ""},
        {"\\", "\\"},
        {"a", "a"},
        {"C:\\a\\\\b\\\\\\c", "C:\\a\\b\\c"},
        {"\\\\server\\share", "\\\\server\\share"},       // UNC prefix survives
        {"\\\\server\\\\share", "\\\\server\\share"},     // only the later doubling goes
        {"\\\\\\server", "\\\\server"},                   // a third leading backslash is dropped
        {"C:\\dir\\\\", "C:\\dir\\"},
        {"C:\\Pr\xfc" "f\\\\x", "C:\\Pr\xfc" "f\\x"},
    };
    for (const Row& row : rows) {
        std::string path = row.in;
        collapseBackslashes(path);
        EXPECT_EQ(path, row.out) << row.in;
    }
}

TEST(Paths, IsRelativePath) {
    struct Row {
        const char* path;
        bool relative;
    } rows[] = {
        {"C:", true},          {"C:\\", false},    {"\\\\srv\\share", false}, {"\\dir", true},
        {"C:dir", true},       {"lib\\a.jar", true}, {"\"C:\\x\"", false},       {"\"C", true},
        {"\"C:", true},        {"\"ab", true},     {"", true},                {"ab", true},
        {"\"\\\\srv", false},  {"c:\\", false},
    };
    for (const Row& row : rows) EXPECT_EQ(isRelativePath(row.path), row.relative) << row.path;
}

TEST(Paths, LowerCaseTouchesOnlyAtoZ) {
    std::string path = "C:\\Program Files\\\xc4PP\\X.JAR";
    toLowerPath(path);
    EXPECT_EQ(path, "c:\\program files\\\xc4pp\\x.jar");
    EXPECT_EQ(toLowerAsciiWide(u"\u00c4BC\u0130"), u"\u00c4bc\u0130");
}

TEST(Paths, DriveRootsExistWithoutLookingAtTheDisk) {
    for (const char* root : {"C:\\", "Q:\\.", "z:\\.\\."}) EXPECT_TRUE(pathExists(root)) << root;
    for (const char* other : {"C:", "C:\\x", "C:\\..", ":\\"}) EXPECT_FALSE(isDriveRootText(other)) << other;
    EXPECT_FALSE(pathExists("/no/such/file/anywhere"));
}

TEST(Paths, MakeAbsoluteAgainstTheExecutablesDirectory) {
    setModulePathForTesting("C:\\My App\\run.exe");
    EXPECT_EQ(exeDirectory(), "C:\\My App\\");
    EXPECT_EQ(makeAbsolutePath("lib\\a.jar"), "C:\\My App\\lib\\a.jar");
    EXPECT_EQ(makeAbsolutePath("\\lib\\a.jar"), "C:\\My App\\lib\\a.jar");  // the doubled separator collapses
    EXPECT_EQ(makeAbsolutePath("D:\\x\\\\y"), "D:\\x\\y");
    EXPECT_EQ(makeAbsolutePath("a.cfg", "E:\\conf\\base.vmoptions"), "E:\\conf\\a.cfg");
    EXPECT_EQ(getFullPath("..\\X\\Y.jar", false), "c:\\x\\y.jar");
    EXPECT_EQ(getFullPath(".\\Lib\\.\\A.jar", true), "C:\\My App\\Lib\\A.jar");
    EXPECT_EQ(makeAbsolutePathList("lib\\a.jar;;D:\\b.jar"), "C:\\My App\\lib\\a.jar;D:\\b.jar");
    EXPECT_EQ(makeAbsolutePathList(""), "");
    EXPECT_EQ(makeAbsolutePathList(";;"), "");
    EXPECT_EQ(makeAbsolutePath(std::string(9000, 'a')), "");  // would not fit a path buffer
}

TEST(Paths, HostConversionIsWindows1252) {
    EXPECT_EQ(toUtf16("\x80\xe4", 0), u"\u20ac\u00e4");
    bool used = true;
    EXPECT_EQ(fromUtf16(u"\u20ac\u00e4", 0, &used), "\x80\xe4");
    EXPECT_FALSE(used);
    EXPECT_EQ(fromUtf16(u"a\u4e2d", 0, &used), "a?");
    EXPECT_TRUE(used);
}
