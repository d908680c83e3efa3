// The temporary directory and names of temporary files.
#pragma once
#include <cstdint>
#include <string>

// The directory for temporary files (the system's temporary path when its long
// form is representable in the ANSI code page, else the first writable fallback).
// Ends the launcher with message 1015 when there is none. Not cached.
std::string selectTempPath();
bool isWritableDirectory(const std::string& directory);
// A new unique temporary file (created by the system) in the selected directory.
std::string createTempFileName();
// The communication file of single-instance mode for processId.
std::string processCommFileName(uint32_t processId);
