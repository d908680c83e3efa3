#include "config_ids.h"

#include <cstring>

namespace {
using F = ConfigForm;
const ConfigIdInfo kTable[] = {
    {101, "APPLICATION_NAME", F::String, "the application's name; title of the splash window"},
    {102, "ERROR_LOG_ENABLED", F::Flag, "hand the error-log file name (ERROR_LOG_FILE) to the Java launcher class"},
    {103, "ERROR_LOG_FILE", F::String, "error-log file name; variables expanded; absolute against the executable's directory unless it begins with $"},
    {104, "OUTPUT_LOG_ENABLED", F::Flag, "hand the output-log file name (OUTPUT_LOG_FILE) to the Java launcher class"},
    {105, "OUTPUT_LOG_FILE", F::String, "output-log file name, treated like ERROR_LOG_FILE"},
    {106, "FIFTH_LAUNCHER_ARG", F::Flag, "fifth launcher-class argument, true or false"},
    {107, "EXE_TYPE", F::Int, "1: GUI application (javaw.exe required); 1 and 5 keep error message boxes, any other value writes errors to standard error"},
    {108, "SPLASH_ENABLED", F::Flag, "show a splash screen"},
    {121, "CLASS_PATH", F::List, "class-path entries separated by ;, each a type letter (A, D, E, S), a mandatory flag (1) and a name"},
    {122, "MAIN_CLASS", F::String, "the application's main class (dotted name)"},
    {123, "VM_OPTIONS", F::String, "VM options; variables expanded, split into tokens"},
    {124, "APP_ARGUMENTS", F::String, "fixed application arguments, placed before the command-line arguments"},
    {125, "ACCEPT_J_ARGUMENTS", F::Flag, "command-line arguments beginning with -J become VM options"},
    {126, "MIN_VERSION", F::String, "lowest acceptable Java version (text prefix comparison; numeric for the J entry)"},
    {127, "MAX_VERSION", F::String, "highest acceptable Java version (text prefix comparison; numeric for the J entry)"},
    {128, "JVM_SEARCH_SEQUENCE", F::List, "search entries separated by ;, each a type letter (A, B, R directory; E environment variable; S system path; Y registry; J installed runtimes of today's vendors, highest numeric version) and its text"},
    {130, "ALLOW_BETA_VM", F::Flag, "accept pre-release VMs (versions containing beta, ea or rc) everywhere"},
    {131, "REQUIRE_JDK", F::Flag, "only development kits qualify"},
    {141, "SPLASH_WIDTH", F::Int, "width of the splash window in pixels"},
    {142, "SPLASH_HEIGHT", F::Int, "height of the splash window in pixels"},
    {145, "SPLASH_HIDE_ON_WINDOW", F::Flag, "hide the splash as soon as the application shows a window of its own"},
    {146, "WORKING_DIRECTORY", F::String, "working directory at start-up, relative to the executable's directory"},
    {147, "SPLASH_ON_TOP", F::Flag, "make the splash window topmost"},
    {149, "RESERVED_149", F::String, "carried in a built block, not read"},
    {150, "RESERVED_150", F::String, "carried in a built block, not read"},
    {151, "RESERVED_151", F::String, "carried in a built block, not read"},
    {152, "PREFERRED_VM_TYPE", F::String, "VM-type subdirectory of bin tried first for jvm.dll (at most 199 bytes)"},
    {153, "RESERVED_153", F::String, "carried in a built block, not read"},
    {154, "UNATTENDED_SWITCHES", F::Flag, "honour the switches -q, -c and -console"},
    {155, "RESERVED_155", F::String, "carried in a built block, not read"},
    {156, "CONSOLE_SWITCH", F::Flag, "honour the switch -console"},
    {157, "RESERVED_157", F::String, "carried in a built block, not read"},
    {158, "SINGLE_INSTANCE_GLOBAL", F::Flag, "single-instance semaphore name begins with Global\\ instead of Local\\"},
    {159, "RESERVED_159", F::String, "carried in a built block, not read"},
    {160, "INSTALLATION_KEY", F::String, "value name under the installations registry key listing earlier installations"},
    {161, "RESERVED_161", F::String, "carried in a built block, not read"},
    {1000, "MSG_ERROR_CAPTION", F::String, "caption of every error message box"},
    {1001, "MSG_NO_JVM", F::String, "message (not shown by this launcher)"},
    {1002, "MSG_PATH_JVM_DAMAGED", F::String, "message (not shown by this launcher)"},
    {1003, "MSG_ENV_VAR_NO_JVM", F::String, "message (not shown by this launcher)"},
    {1004, "MSG_JVM_DAMAGED", F::String, "message (not shown by this launcher)"},
    {1005, "MSG_JVM_START_FAILED", F::String, "the JVM could not be started"},
    {1006, "MSG_FILE_NOT_FOUND", F::String, "a mandatory class-path entry is missing; {0} its name"},
    {1007, "MSG_WRONG_PARAMETERS", F::String, "message (not shown by this launcher)"},
    {1008, "MSG_ENV_VAR_UNDEFINED", F::String, "a mandatory class-path variable is undefined; {0} its name"},
    {1009, "MSG_INTERNAL_ERROR", F::String, "internal error; {0} the error code"},
    {1010, "MSG_MAIN_CLASS_NOT_LOADED", F::String, "the launcher class cannot be found"},
    {1011, "MSG_MAIN_METHOD_NOT_FOUND", F::String, "its static main cannot be found"},
    {1012, "MSG_DIALOG_CAPTION", F::String, "message (not shown by this launcher)"},
    {1013, "MSG_DIALOG_OK", F::String, "message (not shown by this launcher)"},
    {1014, "MSG_STARTUP_ERROR", F::String, "message (not shown by this launcher)"},
    {1015, "MSG_POWERUSER_REQUIRED", F::String, "no usable temporary directory"},
    {1016, "MSG_NO_JVM_BITS", F::String, "no JVM found; {0} the bitness (64)"},
    {1017, "MSG_ENV_VAR_NO_JVM_32", F::String, "message (not shown by this launcher)"},
    {1018, "MSG_ENV_VAR_NO_JVM_64", F::String, "the JVM named by environment variable {0} cannot be loaded"},
    {1019, "MSG_JVM_DAMAGED_32", F::String, "message (not shown by this launcher)"},
    {1020, "MSG_JVM_DAMAGED_64", F::String, "the JVM found at {0} cannot be loaded"},
    {2001, "LAUNCHER_FLAVOUR", F::Char, "first character i: marlowkit flavour; e: product name tovex"},
    {2002, "FILE_COUNT", F::Int, "number of files appended after the block"},
    {2003, "FILE_LIST", F::List, "names of the appended files separated by ;"},
    {10003, "INSTALLATION_ROOT", F::String, "installation root, relative to the executable's directory"},
    {10004, "NATIVE_LIB_DIRS", F::List, "native library directories put in front of PATH, separated by ;"},
    {10005, "SINGLE_INSTANCE", F::Flag, "single-instance mode"},
    {10109, "STATUS_TEXT_X", F::Int, "x of the splash status line"},
    {10110, "STATUS_TEXT_Y", F::Int, "y of the splash status line"},
    {10111, "STATUS_TEXT", F::String, "initial splash status text"},
    {10112, "STATUS_FONT_NAME", F::String, "font face of the status line (at most 31 characters)"},
    {10113, "STATUS_FONT_SIZE", F::Int, "font size of the status line in points"},
    {10114, "STATUS_TEXT_COLOR", F::Color, "colour of the status line: red,green,blue"},
    {10115, "STATUS_FONT_WEIGHT", F::Int, "font weight of the status line (400 normal, 700 bold)"},
    {10116, "VERSION_TEXT_X", F::Int, "x of the splash version line"},
    {10117, "VERSION_TEXT_Y", F::Int, "y of the splash version line"},
    {10118, "VERSION_TEXT", F::String, "text of the splash version line"},
    {10119, "VERSION_FONT_NAME", F::String, "font face of the version line (at most 31 characters)"},
    {10120, "VERSION_FONT_SIZE", F::Int, "font size of the version line in points"},
    {10121, "VERSION_TEXT_COLOR", F::Color, "colour of the version line: red,green,blue"},
    {10122, "VERSION_FONT_WEIGHT", F::Int, "font weight of the version line"},
    {10123, "SPLASH_FROM_RUNTIME", F::Flag, "show the splash with the runtime's splashscreen.dll instead of the launcher's own window"},
    {10124, "CLASS_DATA_SHARING", F::Flag, "managed class-data sharing: a per-user archive of the application's classes for faster later starts"},
};
}  // namespace

const ConfigIdInfo* configIdTable(int* count) {
    *count = static_cast<int>(sizeof(kTable) / sizeof(kTable[0]));
    return kTable;
}

const ConfigIdInfo* findConfigId(int32_t id) {
    for (const ConfigIdInfo& info : kTable)
        if (info.id == id) return &info;
    return nullptr;
}

const ConfigIdInfo* findConfigIdByName(const char* name) {
    if (std::strncmp(name, "CFG_", 4) == 0) name += 4;
    for (const ConfigIdInfo& info : kTable)
        if (std::strcmp(info.name, name) == 0) return &info;
    return nullptr;
}

bool exeTypeShowsMessageBoxes(int32_t exeType) { return exeType == 1 || exeType == 5; }
