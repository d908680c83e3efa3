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

// Error text with the log file appended.
inline constexpr const char* kWithLogFormat = "%s\n\nLog: %s";

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

// Message texts written into a block by the builder when the configuration gives none.
inline constexpr const char* kJavaDownloadSite = "adoptium.net";
}  // namespace texts
