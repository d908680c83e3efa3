// Path and text-encoding utilities. Paths are narrow strings in the file code
// page with backslash separators, at most 8191 bytes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kPathBufferSize = 8192;

// CP_ACP (0) when the file functions use the ANSI code page, else CP_OEMCP (1).
int fileCodePage();
// narrow (in codePage) -> UTF-16; on the host the code pages are treated as Windows-1252.
std::u16string toUtf16(const std::string& narrow, int codePage);
// UTF-16 -> narrow with "?" as default character; *usedDefault (optional) tells whether it was needed.
std::string fromUtf16(const std::u16string& wide, int codePage, bool* usedDefault = nullptr);

// The running executable's path (long form when representable, else the short form); cached.
const std::string& getModulePath();
// The executable's directory with its trailing backslash; cached.
const std::string& exeDirectory();

// Runs of backslashes shrink to one; a leading pair (UNC) survives.
void collapseBackslashes(std::string& path);
// Lower-cases A to Z only.
void toLowerPath(std::string& path);
bool isRelativePath(const std::string& path);
// One directory search for path; lastWriteTime (optional) receives the FILETIME as a 64-bit value.
bool findFile(const std::string& path, uint64_t* lastWriteTime);
// Drive roots always exist; everything else goes through findFile.
bool pathExists(const std::string& path);
// Relative paths are taken against the directory of baseFile, or the executable's directory.
std::string makeAbsolutePath(const std::string& path, const char* baseFile = nullptr);
// The directory of file (with its trailing backslash), resolved by the system; "" on failure.
std::string directoryOfFile(const char* file);
// Absolute, "." and ".." resolved, lower-cased unless keepCase, backslashes collapsed.
std::string getFullPath(const std::string& path, bool keepCase);
// Each ";"-separated entry made absolute (empty entries skipped), joined with ";".
std::string makeAbsolutePathList(const std::string& list);

// The narrow form of a wide path in the file code page: as it is when every
// character survives, else its short (8.3) form when the path exists and has one
// whose characters survive. false (out: the lossy form) when neither works.
bool narrowPathOf(const std::u16string& wide, std::string& out);
// The value of environment variable name in the file code page; false when it is
// not set. Read through the wide function and converted here: under Wine the narrow
// one cuts a value that is longer in UTF-8 than in UTF-16 (the UTF-8 code page), and
// its returned length is the UTF-16 one. A value with characters the code page cannot
// hold is taken in its short path form where it names an existing path with one; else
// it keeps the default character "?" and *representable (optional) becomes false.
bool environmentText(const char* name, std::string& value, bool* representable = nullptr);

// Text read from a file beside the application (options files, location files) in
// the process's code page. With the UTF-8 code page a text that is not UTF-8 was
// written in the user's ANSI code page (by an editor or installer of the old kind):
// it is converted from that one. Otherwise the bytes are taken as they are.
std::string textFromFile(const std::string& bytes);

// Pure: the collapse rule on UTF-16 text.
std::u16string collapseBackslashesWide(const std::u16string& path);
// Pure: A to Z lower-cased, every other character kept.
std::u16string toLowerAsciiWide(const std::u16string& path);
// Pure: the items of a ";"-separated list, in order, taken as they stand (no
// trimming; quotes are ordinary characters). Skip drops the empty items of ";;", of a
// leading or trailing ";" and of "" itself; Keep keeps them, for lists whose item
// count is checked against a stored count ("" is one empty item, "a;" is "a" and "").
enum class EmptyItems { Skip, Keep };
std::vector<std::string> splitList(const std::string& list, EmptyItems empty = EmptyItems::Skip);
// Pure: "X:\", "X:\." or "X:\.\." (a drive root, taken as existing without a look at the disk).
bool isDriveRootText(const std::string& path);
// Pure: the text up to and including the last backslash ("" when there is none).
std::string directoryOf(const std::string& path);

#ifndef _WIN32
// Host builds: set the module path (and so the executable's directory) that the
// path functions use, e.g. "C:\\App\\run.exe".
void setModulePathForTesting(const std::string& path);
// The same, given the directory (with or without its trailing backslash).
void setExeDirectoryForTesting(const std::string& directory);
#endif
