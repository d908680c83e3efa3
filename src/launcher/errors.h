// The one way the launcher tells the user that something went wrong and the
// one way it ends early.
#pragma once
#include <cstdint>
#include <string>

// From now on error texts go to standard error instead of message boxes.
void disableMessageBoxes();
bool messageBoxesEnabled();
// Shows text (with the "Log:" line when logging) in a message box or on
// standard error; returns when the box is closed.
void showErrorText(const std::string& text);
// Shows configured message id with argument (nullptr: none) in place of the first "{0}"
// and details (nullptr: none) in place of every "{details}". The message and the
// reason are also written to the log.
void showMessage(int32_t id, const char* argument, const char* details = nullptr);
// Removes the extraction directory (if any) and ends the process with code.
[[noreturn]] void exitLauncher(int code);
[[noreturn]] void fatalMessage(int32_t id, const char* argument, const char* details = nullptr);
[[noreturn]] void fatalText(const char* text);
// The window that owns error message boxes (the splash window once it exists).
void setErrorOwnerWindow(void* window);
void* errorOwnerWindow();

// The text of message id (ids 1000 to 1020): the localized text of the block's
// wide strings (language sets applied) when it has one, in the ANSI code page;
// otherwise the string entry. At most 8191 bytes.
std::string messageText(int32_t id);

// Pure helpers, exposed for tests.
// text with the first "{0}" replaced by argument (unchanged when argument is nullptr).
std::string applyMessageArgument(const std::string& text, const char* argument);
// text with every "{details}" replaced by details ("" when nullptr). Texts without
// the placeholder (every text of blocks from older builders) stay as they are.
std::string applyMessageDetails(const std::string& text, const char* details);
// text with the argument in place of the first "{0}" and the details in place of
// every "{details}" (neither is looked for inside the argument).
std::string fillMessage(const std::string& text, const char* argument, const char* details);
// text, or "%s\n\nLog: %s" with the log path when longLogPath is not nullptr.
std::string composeErrorText(const std::string& text, const char* longLogPath);
