// Fixed texts of the launcher itself. User-facing texts that an application can
// change are configuration messages (ids 1000 to 1020), not listed here.
#pragma once

namespace texts {
// Fatal texts of the configuration reader (also used by extraction).
inline constexpr const char* kOpenMediaFailed =
    "Error opening media file. Please move this file to an ascii-only path like c:\\";
inline constexpr const char* kMagic = "Internal Error: magic";
inline constexpr const char* kReadInt = "Internal Error: readInt";
inline constexpr const char* kReadShort = "Internal Error: readShort";
inline constexpr const char* kReadLong = "Internal Error: readLong";
inline constexpr const char* kReadString = "Internal Error: readString";
inline constexpr const char* kReadWString = "Internal Error: readWString";

// The console switch "-c" when no console can be had; always a plain message box.
inline constexpr const char* kConsoleFailed = "Error: Could not allocate console.";
inline constexpr const char* kConsoleFailedCaption = "marlowkit";

// The place in a configured message where its one argument goes (only the first one is filled).
inline constexpr const char* kMessageArgument = "{0}";

// The place in a message text where the launcher puts its own explanation of the
// failure (what it searched, what the system reported); "" when it has none. Only
// the builder's default texts since this release carry it.
inline constexpr const char* kMessageDetails = "{details}";

// The "{details}" of an internal error (message 1009) whose cause has no advice of its own.
inline constexpr const char* kInternalErrorAdvice =
    "\n\nWhat to do: start the program again; if this error comes back, reinstall the program.";

// Log-file prompt.
inline constexpr const char* kLogPromptFormat =
    "The following log file will be created:\n\n%s\n\nDo you want to open an Explorer window?";
// Explorer showing the log file: Windows directory, short log path.
inline constexpr const char* kExplorerCommandFormat = "%s\\explorer.exe /select,%s";

// A second start in single-instance mode whose arguments the running instance did
// not take; the arguments follow as written on the command line.
inline constexpr const char* kArgumentsNotHandedOver =
    "The running instance of this application did not take over the arguments of this start. "
    "They were not handed over:\n\n";

// Shown on standard output while a packed runtime is unpacked.
inline constexpr const char* kPreparingJre = "Preparing JRE ...\n";

// Command-line markers and switches.
inline constexpr const char* kRebootMarker = "__mlk_reboot";
inline constexpr const char* kLangRestartMarker = "__mlk_lang_restart";
inline constexpr const char* kQuietMarker = "-q_mlk_internal";
inline constexpr const char16_t* kLogSwitches[] = {u"-create-mlk-log", u"-create-tvx-log", u"/create-mlk-log",
                                                   u"/create-tvx-log"};
inline constexpr const char16_t* kQuietSwitch = u"-q";
inline constexpr const char16_t* kConsoleSwitch = u"-console";
inline constexpr const char16_t* kConsoleQuietSwitch = u"-c";
inline constexpr const char16_t* kFormatAsDefaultPrefix = u"-Dsun.locale.formatasdefault=";
inline constexpr const char16_t* kFormatAsDefaultTrue = u"-Dsun.locale.formatasdefault=true";

// Environment variables.
inline constexpr const char* kLogVariable = "TOVEX_LOG";
inline constexpr const char* kLogVariableLegacy = "MARLOWKIT_LOG";
inline constexpr const char* kJavaHomeVariable = "TOVEX_JAVA_HOME";
inline constexpr const char* kJavaHomeVariableLegacy = "MARLOWKIT_JAVA_HOME";

// When the VM library of the runtime found is built for another machine (a 32-bit or ARM64
// runtime): the library and its machine. Exit code 83 as for the other JVM messages.
inline constexpr const char* kWrongArchitectureFormat =
    "The Java runtime with the VM library %s is built for %s.\nThis program needs a 64-bit (x86-64) JDK or JRE.\n"
    "Please install one or define TOVEX_JAVA_HOME\nto point to an installed 64-bit JDK or JRE.";

// Where the builder's default texts tell the user to get Java (one stable address).
inline constexpr const char* kJavaDownloadSite = "https://adoptium.net/";
}  // namespace texts

// The codes of internal errors: the "{0}" of message 1009 (CFG_MSG_INTERNAL_ERROR), shown to the
// user and quoted in support notes, so a code never changes. docs/launcher.md lists them.
namespace internal_error {
// Extraction of appended files: no extraction directory could be created (ten attempts).
inline constexpr const char* kExtractionDirectory = "7";
// Extraction of appended files: one of the files could not be created.
inline constexpr const char* kExtractedFile = "11";
// First run: the class com/marlowkit/runtime/launcher/FirstRun is not in the VM.
inline constexpr const char* kFirstRunClass = "14";
// First run: that class has no static firstRun()Z.
inline constexpr const char* kFirstRunMethod = "15";
// The launch driver: extraction of the appended files failed (file cut short, a write failed).
inline constexpr const char* kExtraction = "16";
// A packed runtime: its unpack process could not be started.
inline constexpr const char* kUnpackStart = "20";
// Single instance: the communication file for the hand-over could not be created.
inline constexpr const char* kHandOverFileCreate = "21";
// Single instance: the communication file could not be written.
inline constexpr const char* kHandOverFileWrite = "22";
// Single instance: a start without arguments got no turn for the hand-over in time.
inline constexpr const char* kHandOverNoTurn = "23";
// The VM could not allocate main's argument array or one of its strings (out of memory).
// Shares "23" with kHandOverNoTurn since both were first shown; the log line tells them apart.
inline constexpr const char* kArgumentArray = "23";
}  // namespace internal_error
