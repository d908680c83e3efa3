// Diagnostic log: off unless asked for (TOVEX_LOG=yes, MARLOWKIT_LOG=yes or a
// log-file switch). Every line is written and the file closed before the call
// returns. Safe to call from the main thread and the splash thread.
#pragma once

// The compiler checks every log call's arguments against its format, by the conventions
// of the C runtime that formats the line: msvcrt's on Windows (crt_format_win.h), the C
// library's elsewhere.
#ifdef _WIN32
#define TOVEX_LOG_FORMAT __attribute__((format(ms_printf, 1, 2)))
#else
#define TOVEX_LOG_FORMAT __attribute__((format(printf, 1, 2)))
#endif

// One line: the formatted text and a line end. printf conventions of the
// platform, including "%I64d" on Windows.
TOVEX_LOG_FORMAT void logMessage(const char* format, ...);
// One line beginning with "ERROR: ".
TOVEX_LOG_FORMAT void logError(const char* format, ...);
// The log file's path, or nullptr when logging is off (or not yet decided).
const char* logFilePath();
// Set by the launch driver when the first argument is a log-file switch; must
// be called before the first log line.
void setLogRequested();
bool logRequested();

#ifdef _WIN32
#include <cstddef>
// The directory of a new log: TMP when it names a directory, else "c:\\", else
// the root of the current drive, else the current directory. False when none fits.
bool chooseLogDirectory(char* directory, size_t size);
// Creates the first free "mlk_nlog_<n>" (n from 2 upward) in directory and puts
// its path in path. False when no name could be formed or created.
bool createNumberedLogFile(const char* directory, char* path, size_t size);
// Tests only: forget the decision, so that the next line decides again.
void logResetForTesting();
#endif

#ifndef _WIN32
#include <cstddef>
#include <string>
#include <vector>
// Host builds keep the lines in memory ("ERROR: " prefix included, no line end) for
// tests: at most kHostLogLineLimit of them, the older half dropped when the limit is
// reached, so that a long-running host process (a fuzzer, a benchmark) stays bounded.
constexpr size_t kHostLogLineLimit = 10000;
std::vector<std::string>& hostLogLines();
void hostLogClear();
// Whether new lines are kept (default true). Lines are formatted either way.
void hostLogKeepLines(bool keep);
#endif
