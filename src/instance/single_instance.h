// Single-instance mode and the per-executable semaphore.
//
// Every start names a semaphore after the executable's lower-cased full path.
// In single-instance mode a second start brings the first instance's windows to
// the front, writes its command-line arguments to the first instance's
// communication file, waits until the Java side has deleted that file and ends
// with exit code 0. Otherwise every start claims a numbered name of its own.
// No second start waits without bound (see kTurnLimitMs).
#pragma once
#include <cstdint>
#include <string>

// Claims the semaphore; in single-instance mode a second start hands its
// arguments to the first instance and ends here with exit code 0.
void checkSingleInstance();
// The semaphore name, or nullptr before the check ran (language-restart mode).
const std::string* semaphoreName();
void setSemaphoreName(const std::string& name);
// Brings the visible top-level windows of processId to the front.
void activateProcessWindows(uint32_t processId, bool restore);
// Visible top-level windows of processId, its console window not counted.
int countVisibleWindows(uint32_t processId);

// Windows parts, exposed for tests.
// Stores the own process id under the executable's lower-cased path (silent on failure).
void registerInstancePid();
// The stored process id; 0 when the key or value cannot be read or is not 4 bytes.
uint32_t readInstancePid();
// True while the instance semaphore (semaphoreName) exists.
bool isMainInstanceAlive();
// Waits (50 ms passes, at most kCommFileWaitPasses) until path is gone; true when
// the first instance was found gone meanwhile (tested every fifth pass).
bool waitForCommFileRemoval(const std::string& path);
// 60 seconds: a first instance whose Java side is still starting (a slow machine,
// a cold runtime) takes the file only once its VM runs.
constexpr int kCommFileWaitPasses = 1200;

// A second start waits at most kTurnLimitMs for its turn at the communication
// file (the notification semaphore), checking every kTurnPollMs whether the first
// instance still runs; then it ends with internal error 23. Its turn itself takes
// at most two waits of waitForCommFileRemoval (60 s each). So every second start
// ends within about 180 seconds of beginning to wait. Its arguments are either taken
// by the first instance or named to the user (never lost silently): a file that was
// not taken within the wait is deleted again by its writer.
constexpr unsigned long kTurnPollMs = 250;
constexpr unsigned long kTurnLimitMs = 60000;

// Registry key of the process ids of first instances (HKEY_CURRENT_USER).
inline constexpr const char* kInstancePidKey = "SOFTWARE\\quorbel-systems\\tovex\\pids\\";
// The communication text is built in this many UTF-16 units, terminator included.
constexpr size_t kCommTextUnits = 16384;

// Pure: every backslash and every blank turned into an underscore.
std::string toObjectName(const std::string& path);
// Pure: "Local\" (or "Global\") followed by toObjectName of the lower-cased full path.
std::string instanceSemaphoreName(const std::string& fullPath, bool global);
// Pure: the arguments part of a UTF-16 command line: after a leading quoted
// program name (an unmatched quote leaves nothing), from the first blank on,
// blanks skipped.
std::u16string commandLineArguments(const std::u16string& commandLine);
// Pure: the communication file text: arguments and a line feed, the arguments cut
// (never inside a surrogate pair) so that text and terminator fit kCommTextUnits.
// *cut (optional) tells whether anything was cut.
std::u16string communicationText(const std::u16string& arguments, bool* cut = nullptr);
