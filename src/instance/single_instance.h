// Single-instance mode and the per-executable semaphore.
#pragma once
#include <cstdint>
#include <string>

// Claims the semaphore; in single-instance mode a second start hands its
// arguments to the first instance and ends here with exit code 0.
void checkSingleInstance();
// The semaphore name, or nullptr before the check ran (language-restart mode).
const std::string* semaphoreName();
// Brings the visible top-level windows of processId to the front.
void activateProcessWindows(uint32_t processId, bool restore);
// Visible top-level windows of processId, its console window not counted.
int countVisibleWindows(uint32_t processId);

// Pure: "Local\"/"Global\" + path with backslashes and spaces turned into underscores.
std::string toObjectName(const std::string& path);
// Pure: the arguments part of a UTF-16 command line (after the program name and its spaces).
std::u16string commandLineArguments(const std::u16string& commandLine);
