// Extraction helpers on the real file system (under Wine).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "files/extract.h"

namespace {

std::string freshDirectory(const char* tag) {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    std::string dir = std::string(base) + "tvx_test_" + tag + "_" + std::to_string(GetCurrentProcessId()) + "_" +
                      std::to_string(GetTickCount());
    EXPECT_TRUE(CreateDirectoryA(dir.c_str(), nullptr)) << dir;
    return dir;
}

void writeFile(const std::string& path, const std::string& content) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    if (!content.empty()) WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(h);
}

std::string readFile(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string data;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) data.append(buffer, got);
    CloseHandle(h);
    return data;
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Removes whatever a test left behind, at any depth.
void removeTree(const std::string& path) {
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                removeTree(child);
            else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirectoryA(child.c_str());
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

TEST(EmptyDirectory, RemovesFilesAndOneLevelOfSubdirectories) {
    std::string top = freshDirectory("empty");
    writeFile(top + "\\a.jar", "a");
    writeFile(top + "\\b.txt", "");
    CreateDirectoryA((top + "\\user").c_str(), nullptr);
    writeFile(top + "\\user\\lib.jar", "lib");
    CreateDirectoryA((top + "\\deep").c_str(), nullptr);
    CreateDirectoryA((top + "\\deep\\full").c_str(), nullptr);
    writeFile(top + "\\deep\\full\\kept.txt", "kept");
    CreateDirectoryA((top + "\\shallow").c_str(), nullptr);
    CreateDirectoryA((top + "\\shallow\\empty").c_str(), nullptr);

    emptyDirectory(top, true);

    EXPECT_FALSE(exists(top + "\\a.jar"));
    EXPECT_FALSE(exists(top + "\\b.txt"));
    EXPECT_FALSE(exists(top + "\\user")) << "a subdirectory is emptied and removed";
    EXPECT_FALSE(exists(top + "\\shallow")) << "an empty directory two levels down goes with its parent";
    EXPECT_TRUE(exists(top + "\\deep\\full\\kept.txt")) << "files two levels down are out of reach";
    EXPECT_TRUE(exists(top + "\\deep\\full"));
    EXPECT_TRUE(exists(top)) << "the directory itself is the caller's to remove";
    removeTree(top);
}

TEST(EmptyDirectory, WithoutRecurseSubdirectoriesKeepTheirFiles) {
    std::string top = freshDirectory("flat");
    writeFile(top + "\\a.jar", "a");
    CreateDirectoryA((top + "\\user").c_str(), nullptr);
    writeFile(top + "\\user\\lib.jar", "lib");
    emptyDirectory(top + "\\", false);  // a trailing backslash is not doubled
    EXPECT_FALSE(exists(top + "\\a.jar"));
    EXPECT_TRUE(exists(top + "\\user\\lib.jar"));
    removeTree(top);
}

TEST(EmptyDirectory, EmptyAndDotPathsAreNeverTouched) {
    std::string top = freshDirectory("dot");
    writeFile(top + "\\a.jar", "a");
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(top.c_str()));
    emptyDirectory("", true);
    emptyDirectory(".", true);
    emptyDirectory(".\\", true);
    SetCurrentDirectoryA(previous);
    EXPECT_TRUE(exists(top + "\\a.jar"));
    removeTree(top);
}

TEST(EmptyDirectory, DirectoryLinkIsRemovedNotEntered) {
    std::string top = freshDirectory("link");
    std::string outside = freshDirectory("outside");
    writeFile(outside + "\\precious.txt", "keep me");
    std::string link = top + "\\link";
    // Wine 8 reports success but makes no usable link: only a link that leads somewhere is a test.
    if (!CreateSymbolicLinkA(link.c_str(), outside.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) ||
        !exists(link + "\\precious.txt")) {
        removeTree(top);
        removeTree(outside);
        GTEST_SKIP() << "directory links not available here (" << GetLastError() << ")";
    }
    emptyDirectory(top, true);
    EXPECT_TRUE(exists(outside + "\\precious.txt"));
    removeTree(top);
    removeTree(outside);
}

TEST(CopyFileData, CopiesInChunksAndUnscrambles) {
    std::string top = freshDirectory("copy");
    std::string content;
    for (int i = 0; i < 20000; ++i) content.push_back(static_cast<char>(i * 7));
    content[0] = static_cast<char>(0xD6);
    content[1] = '\0';
    std::string scrambled = content;
    unscrambleBytes(reinterpret_cast<unsigned char*>(&scrambled[0]), scrambled.size());
    writeFile(top + "\\in", scrambled + "TRAILER");

    HANDLE in = CreateFileA((top + "\\in").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE out = CreateFileA((top + "\\out").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(in, INVALID_HANDLE_VALUE);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    EXPECT_EQ(copyFileData(in, out, 20000, true), 0);
    LARGE_INTEGER zero{}, position{};
    SetFilePointerEx(in, zero, &position, FILE_CURRENT);
    EXPECT_EQ(position.QuadPart, 20000) << "the source stops right after the content";
    CloseHandle(in);
    CloseHandle(out);
    EXPECT_EQ(readFile(top + "\\out"), content);
    removeTree(top);
}

TEST(CopyFileData, ShortSourceIsAReadFailure) {
    std::string top = freshDirectory("short");
    writeFile(top + "\\in", std::string(10000, 'x'));
    HANDLE in = CreateFileA((top + "\\in").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE out = CreateFileA((top + "\\out").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_EQ(copyFileData(in, out, 20000, false), 1);
    CloseHandle(in);
    CloseHandle(out);
    EXPECT_EQ(readFile(top + "\\out"), std::string(10000, 'x')) << "what could be read was written";
    removeTree(top);
}

TEST(CopyFileData, UnwritableDestinationIsAWriteFailure) {
    std::string top = freshDirectory("nowrite");
    writeFile(top + "\\in", "abc");
    writeFile(top + "\\out", "");
    HANDLE in = CreateFileA((top + "\\in").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE out = CreateFileA((top + "\\out").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(copyFileData(in, out, 3, false), 2);
    CloseHandle(in);
    CloseHandle(out);
    removeTree(top);
}

TEST(CopyFileData, FullDiskIsAWriteFailureNamedForTheUser) {
    // Linux's /dev/full (through Wine's Z: drive) takes no byte: "no space left on device".
    HANDLE full = CreateFileA("Z:\\dev\\full", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(full, INVALID_HANDLE_VALUE) << "needs Wine on Linux: " << GetLastError();
    std::string top = freshDirectory("full");
    writeFile(top + "\\in", std::string(100, 'x'));
    HANDLE in = CreateFileA((top + "\\in").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(copyFileData(in, full, 100, false), 2);
    DWORD error = GetLastError();  // kept for the caller, whatever the log did
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_NE(folderWriteFailureText("C:\\T", error).find("The disk that holds the folder C:\\T is full."),
              std::string::npos);
    CloseHandle(in);
    CloseHandle(full);
    removeTree(top);
}

TEST(CopyFileData, NothingToCopy) {
    EXPECT_EQ(copyFileData(INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, 0, true), 0);
    EXPECT_EQ(copyFileData(INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, -5, true), 0);
}

}  // namespace
