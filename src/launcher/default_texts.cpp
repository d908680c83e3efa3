// The builder's default message texts. Where to get Java: texts::kJavaDownloadSite.
#include "default_texts.h"

// Kept equal to texts::kJavaDownloadSite (checked by the tests).
#define TOVEX_JAVA_SITE "https://adoptium.net/"

const DefaultMessageText kDefaultMessageTexts[21] = {
    {1000, "Error"},
    {1001, "No suitable Java was found on this computer, so the program cannot start.{details}\n\n"
           "What to do: install Java from " TOVEX_JAVA_SITE " and start the program again."},
    {1002, "The Java found on the system path (PATH) is damaged, so the program cannot start.\n\n"
           "What to do: reinstall that Java, or install Java from " TOVEX_JAVA_SITE "."},
    {1003, "The environment variable {0} does not point to a working Java, so the program cannot start.\n\n"
           "What to do: set the variable to the folder of an installed Java, or remove it."},
    {1004, "The Java at {0} is damaged, so the program cannot start.\n\n"
           "What to do: reinstall that Java, or install Java from " TOVEX_JAVA_SITE "."},
    {1005, "Java could not be started, so the program cannot start.{details}\n\n"
           "The memory the program asks for (-Xmx) may be more than this computer can give, or an antivirus or "
           "firewall tool may have blocked Java.\n\n"
           "What to do: close other programs and start the program again; if that does not help, tell the "
           "program's maker."},
    {1006, "The file or folder {0} that the program needs is missing or empty, so the program cannot start.\n\n"
           "What to do: reinstall the program."},
    {1007, "The program was started with arguments it does not accept."},
    {1008, "The environment variable {0} is not set, but the program needs it to find its files.\n\n"
           "What to do: set the variable and start the program again."},
    {1009, "The program could not start (internal error, code {0}).{details}"},
    {1010, "The program could not start: its class {0} was not found.\n\n"
           "What to do: reinstall the program; if that does not help, tell the program's maker."},
    {1011, "The program could not start: its class {0} has no method main.\n\n"
           "What to do: reinstall the program; if that does not help, tell the program's maker."},
    {1012, "Error"},
    {1013, "OK"},
    {1014, "The program stopped because of an error it did not handle:\n\n{0}\n\n"
           "What to do: start the program again; if the error comes back, tell the program's maker what it says."},
    {1015, "The program found no folder for temporary files that it can write to, so it cannot start.{details}\n\n"
           "What to do: set the TMP environment variable to a folder you can write to and start the program again."},
    {1016, "This program needs a {0}-bit Java, and none that fits was found on this computer.{details}\n\n"
           "What to do: install Java from " TOVEX_JAVA_SITE " and start the program again."},
    {1017, "The environment variable {0} does not point to a working 32-bit Java, so the program cannot start.\n\n"
           "What to do: set the variable to the folder of an installed 32-bit Java, or remove it."},
    {1018, "The environment variable {0} does not point to a working 64-bit Java, so the program cannot start.\n\n"
           "What to do: set the variable to the folder of an installed 64-bit Java, or remove it."},
    {1019, "The Java at {0} is damaged or is not a 32-bit Java, so the program cannot start.\n\n"
           "What to do: reinstall that Java, or install Java from " TOVEX_JAVA_SITE "."},
    {1020, "The Java at {0} is damaged or is not a 64-bit Java, so the program cannot start.\n\n"
           "What to do: reinstall that Java, or install Java from " TOVEX_JAVA_SITE "."},
};

const char* defaultMessageText(int32_t id) {
    if (id < 1000 || id > 1020) return nullptr;
    return kDefaultMessageTexts[id - 1000].text;
}
