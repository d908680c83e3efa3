// Path utilities on the real Windows file functions (under Wine).
#include <gtest/gtest.h>
#include <windows.h>

#include "files/paths.h"

namespace {
std::string currentModuleNarrow() {
    char buffer[MAX_PATH * 4];
    DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    return std::string(buffer, n);
}
std::string tempDirectory() {
    char buffer[MAX_PATH];
    DWORD n = GetTempPathA(sizeof buffer, buffer);
    return std::string(buffer, n);
}
}  // namespace

TEST(PathsWin, ModulePathIsTheTestExeAndStaysCached) {
    const std::string& path = getModulePath();
    ASSERT_GE(path.size(), 4u);
    EXPECT_EQ(lstrcmpiA(path.c_str() + path.size() - 4, ".exe"), 0) << path;
    EXPECT_EQ(GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES, true) << path;
    EXPECT_EQ(&getModulePath(), &path);
    EXPECT_EQ(lstrcmpiA(path.c_str(), currentModuleNarrow().c_str()), 0);
    const std::string& directory = exeDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_EQ(directory.back(), '\\');
    EXPECT_EQ(path.compare(0, directory.size(), directory), 0);
}

TEST(PathsWin, ExistenceOfRootsFilesAndMissingPaths) {
    EXPECT_TRUE(pathExists("C:\\"));
    EXPECT_TRUE(pathExists("Q:\\."));  // a root counts as existing without a look at the disk
    EXPECT_TRUE(pathExists(getModulePath()));
    EXPECT_FALSE(pathExists(exeDirectory() + "no such file.jar"));
    uint64_t written = 0;
    ASSERT_TRUE(findFile(getModulePath(), &written));
    EXPECT_NE(written, 0u);
    EXPECT_FALSE(findFile("C:\\no\\such\\dir\\x", &written));
}

TEST(PathsWin, MakeAbsoluteAndFullPaths) {
    const std::string& directory = exeDirectory();
    EXPECT_EQ(makeAbsolutePath("lib\\a.jar"), directory + "lib\\a.jar");
    EXPECT_EQ(makeAbsolutePath("\\lib\\a.jar"), directory + "lib\\a.jar");
    EXPECT_EQ(makeAbsolutePath("C:\\x\\\\y.jar"), "C:\\x\\y.jar");
    EXPECT_EQ(makeAbsolutePath("b.txt", "C:\\base dir\\file.cfg"), "C:\\base dir\\b.txt");

    // "..\X" climbs to the parent of the executable's directory, lower-cased.
    std::string parent = directory.substr(0, directory.find_last_of('\\', directory.size() - 2) + 1);
    std::string expected = parent + "Some Dir\\X.JAR";
    toLowerPath(expected);
    EXPECT_EQ(getFullPath("..\\Some Dir\\X.JAR", false), expected);
    EXPECT_EQ(getFullPath("..\\Some Dir\\.\\X.JAR", true), parent + "Some Dir\\X.JAR");
    EXPECT_EQ(makeAbsolutePathList("a;;C:\\b"), directory + "a;C:\\b");
}

TEST(PathsWin, ConversionsInTheRealCodePage) {
    // Wine's ANSI code page for an English or German locale is 1252.
    if (GetACP() != 1252) GTEST_SKIP() << "code page " << GetACP();
    EXPECT_EQ(fileCodePage(), 0);
    EXPECT_EQ(toUtf16("Pr\xfc" "f \x80", 0), u"Pr\u00fcf \u20ac");
    bool used = true;
    EXPECT_EQ(fromUtf16(u"Pr\u00fcf", 0, &used), "Pr\xfc" "f");
    EXPECT_FALSE(used);
    EXPECT_EQ(fromUtf16(u"\u4e2d\u6587.exe", 0, &used), "??.exe");
    EXPECT_TRUE(used);
    std::string path = "C:\\\xc4Pfel\\\\Birne";
    toLowerPath(path);
    EXPECT_EQ(path, "c:\\\xc4pfel\\\\birne");  // only A to Z, backslashes as they were
}

TEST(PathsWin, UnrepresentablePathsAreLeftUnchanged) {
    // Under UTF-8 every text survives; only single-byte code pages can lose characters.
    if (GetACP() != 1252) GTEST_SKIP();
    std::string path = "C:\\A\\\\B";
    collapseBackslashes(path);
    EXPECT_EQ(path, "C:\\A\\B");
    std::string unc = "\\\\srv\\\\share";
    collapseBackslashes(unc);
    EXPECT_EQ(unc, "\\\\srv\\share");
}

TEST(PathsWin, FileAndDirectoryInTemp) {
    std::string directory = tempDirectory() + "tovex paths \xfc test";
    CreateDirectoryA(directory.c_str(), nullptr);
    std::string file = directory + "\\f.txt";
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_TRUE(pathExists(directory));
    EXPECT_TRUE(pathExists(file));
    EXPECT_EQ(makeAbsolutePath("other.txt", file.c_str()), directory + "\\other.txt");
    DeleteFileA(file.c_str());
    RemoveDirectoryA(directory.c_str());
    EXPECT_FALSE(pathExists(file));
}
