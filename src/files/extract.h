// Extraction of the files appended after the configuration block.
//
// The appended region starts where the configuration block ends and is a plain
// sequence of entries: an 8-byte little-endian signed length, then that many
// content bytes, each stored XORed with kScrambleByte. The names come from the file list
// setting (";"-separated, in stored order), the number of entries from the file
// count setting.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "entry_name.h"              // isSafeEntryName, the name rule shared with the builder
#include "launcher/block_format.h"  // kScrambleByte

// The extraction directory; empty when nothing was extracted.
std::string& tempDir();
// File position just past the last extracted entry (0 when nothing was extracted).
int32_t unextractedPosition();
void setUnextractedPosition(int32_t position);
// 0 on success, 1 after a read failure, 2 after a write failure, 3 when the file
// list holds a name that would land outside the extraction directory.
int extractFiles();
// Deletes what lies in path: files, and (with recurse) the files of its subdirectories,
// removing those subdirectories. Does nothing for an empty path or one beginning with ".".
// A directory link (junction, symbolic link) is removed as a link, never entered.
void emptyDirectory(const std::string& path, bool recurse);

// Creates a fresh extraction directory "<unique temporary file>_dir<seconds>" and
// sets tempDir; ends the launcher with internal error 7 after ten failed attempts.
void createTempDir();

// Removes extraction directories of earlier starts whose process has ended, in
// directory (the temporary directory): at most kLeftoverScanLimit entries looked at
// and kLeftoverRemoveLimit removed per start, each logged. A directory whose owner
// runs, or whose owner cannot be told (made by an older launcher), is kept.
void removeLeftoverExtractionDirs(const std::string& directory);
constexpr int kLeftoverScanLimit = 256;
constexpr int kLeftoverRemoveLimit = 8;

// Windows parts, exposed for tests.
// 0, 1 (read failure or end of file) or 2 (write failure). source and destination are HANDLEs.
int copyFileData(void* source, void* destination, int64_t count, bool unscramble);

// What the user is told (the message's "{details}") when the extraction ended
// with an error; "" when it did not or gave no reason.
std::string& extractionFailureDetails();

// Pure helpers.
// The "{details}" of a folder that could not be written: a full disk (Windows
// errors 112 and 39) or any other failure, with the folder and what to do.
std::string folderWriteFailureText(const std::string& folder, unsigned long windowsError);
constexpr size_t kCopyChunkSize = 8192;
// The ";"-separated file list without its empty items.
std::vector<std::string> splitFileList(const std::string& list);
// "%s_dir%d": the temporary file name followed by "_dir" and the seconds.
std::string extractionDirName(const std::string& tempFileName, long long seconds);
// The owner of an extraction directory is written into the temporary file that gave
// it its name: "tovex-owner <process id> <process creation time as a 64-bit FILETIME>".
std::string ownerRecord(uint32_t processId, uint64_t creationTime);
// Reads a record back; false for anything else (an empty file of an older launcher).
bool parseOwnerRecord(const std::string& text, uint32_t& processId, uint64_t& creationTime);
// For an entry name of the temporary directory of the form "tvx<anything>_dir<digits>":
// the name of the temporary file that gave it its name (the part before "_dir"); else "".
std::string ownerFileOfExtractionDir(const std::string& name);
// The directory part of an entry name ("user\lib.jar" -> "user"), empty without a backslash.
std::string entryDirectory(const std::string& name);
// "a" joined with "b": a backslash between them unless a already ends with one.
std::string joinPath(const std::string& a, const std::string& b);
// XORs every byte with kScrambleByte.
void unscrambleBytes(unsigned char* data, size_t count);
