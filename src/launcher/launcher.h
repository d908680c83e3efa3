// The launch driver: start-up order, markers and switches, exit codes.
#pragma once
#include <string>
#include <vector>

// The entry routine shared by the GUI and the console stub. tail is the narrow
// command-line tail; showCommand the start-up show code (SW_SHOWDEFAULT when
// none was given). Returns 0 on every path that comes back.
int launcherMain(void* instance, const char* tail, int showCommand);

// The whole command line split with the launcher's own rules; element 0 is the program as written.
std::vector<std::u16string>& argumentList();
// True when the command-line tail begins with "__mlk_lang_restart".
bool languageRestart();
// "marlowkit", or "tovex" when the flavour setting begins with "e".
const char* productName();
// The module instance handle given to the entry routine (for the splash window).
void* launcherInstance();

// Pure: the command-line tail of a narrow command line (after the program
// name and the white space behind it).
std::string commandLineTail(const char* commandLine);

// Windows parts of the driver.
void rebootSystem();
bool attachConsole();
bool isNtPlatform();
