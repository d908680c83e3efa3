// The temporary directory and names of temporary files.
#pragma once
#include <cstdint>
#include <string>

// The directory for temporary files (the system's temporary path when its long
// form is representable in the ANSI code page, else the first writable fallback).
// Ends the launcher with message 1015 when there is none. Not cached.
std::string selectTempPath();
// True when a subdirectory can be created in directory and is then found to exist.
bool isWritableDirectory(const std::string& directory);
// A new unique temporary file (created by the system) in the selected directory.
std::string createTempFileName();
// The communication file of single-instance mode for processId.
std::string processCommFileName(uint32_t processId);

// Pure: name inside directory. The system's temporary path ends with a backslash,
// the fallback directories and the home directory do not; one is inserted when
// the directory does not already end with one (nothing for an empty directory).
// Every temporary name, the communication file included, is formed this way.
std::string tempNameInDirectory(const std::string& directory, const std::string& name);
