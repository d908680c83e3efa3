// Configuration ids of the block appended to a launcher executable, and the
// table of their names shared by the launcher, the builder and the docs.
#pragma once
#include <cstdint>

enum ConfigId : int32_t {
    CFG_APPLICATION_NAME = 101,
    CFG_ERROR_LOG_ENABLED = 102,
    CFG_ERROR_LOG_FILE = 103,
    CFG_OUTPUT_LOG_ENABLED = 104,
    CFG_OUTPUT_LOG_FILE = 105,
    CFG_FIFTH_LAUNCHER_ARG = 106,
    CFG_EXE_TYPE = 107,
    CFG_SPLASH_ENABLED = 108,
    CFG_CLASS_PATH = 121,
    CFG_MAIN_CLASS = 122,
    CFG_VM_OPTIONS = 123,
    CFG_APP_ARGUMENTS = 124,
    CFG_ACCEPT_J_ARGUMENTS = 125,
    CFG_MIN_VERSION = 126,
    CFG_MAX_VERSION = 127,
    CFG_JVM_SEARCH_SEQUENCE = 128,
    CFG_ALLOW_BETA_VM = 130,
    CFG_REQUIRE_JDK = 131,
    CFG_SPLASH_WIDTH = 141,
    CFG_SPLASH_HEIGHT = 142,
    CFG_SPLASH_HIDE_ON_WINDOW = 145,
    CFG_WORKING_DIRECTORY = 146,
    CFG_SPLASH_ON_TOP = 147,
    CFG_PREFERRED_VM_TYPE = 152,
    CFG_UNATTENDED_SWITCHES = 154,
    CFG_CONSOLE_SWITCH = 156,
    CFG_SINGLE_INSTANCE_GLOBAL = 158,
    CFG_INSTALLATION_KEY = 160,

    CFG_MSG_ERROR_CAPTION = 1000,
    CFG_MSG_NO_JVM = 1001,
    CFG_MSG_PATH_JVM_DAMAGED = 1002,
    CFG_MSG_ENV_VAR_NO_JVM = 1003,
    CFG_MSG_JVM_DAMAGED = 1004,
    CFG_MSG_JVM_START_FAILED = 1005,
    CFG_MSG_FILE_NOT_FOUND = 1006,
    CFG_MSG_WRONG_PARAMETERS = 1007,
    CFG_MSG_ENV_VAR_UNDEFINED = 1008,
    CFG_MSG_INTERNAL_ERROR = 1009,
    CFG_MSG_MAIN_CLASS_NOT_LOADED = 1010,
    CFG_MSG_MAIN_METHOD_NOT_FOUND = 1011,
    CFG_MSG_DIALOG_CAPTION = 1012,
    CFG_MSG_DIALOG_OK = 1013,
    CFG_MSG_STARTUP_ERROR = 1014,
    CFG_MSG_POWERUSER_REQUIRED = 1015,
    CFG_MSG_NO_JVM_BITS = 1016,
    CFG_MSG_ENV_VAR_NO_JVM_32 = 1017,
    CFG_MSG_ENV_VAR_NO_JVM_64 = 1018,
    CFG_MSG_JVM_DAMAGED_32 = 1019,
    CFG_MSG_JVM_DAMAGED_64 = 1020,

    CFG_LAUNCHER_FLAVOUR = 2001,
    CFG_FILE_COUNT = 2002,
    CFG_FILE_LIST = 2003,

    CFG_INSTALLATION_ROOT = 10003,
    CFG_NATIVE_LIB_DIRS = 10004,
    CFG_SINGLE_INSTANCE = 10005,
    CFG_STATUS_TEXT_X = 10109,
    CFG_STATUS_TEXT_Y = 10110,
    CFG_STATUS_TEXT = 10111,
    CFG_STATUS_FONT_NAME = 10112,
    CFG_STATUS_FONT_SIZE = 10113,
    CFG_STATUS_TEXT_COLOR = 10114,
    CFG_STATUS_FONT_WEIGHT = 10115,
    CFG_VERSION_TEXT_X = 10116,
    CFG_VERSION_TEXT_Y = 10117,
    CFG_VERSION_TEXT = 10118,
    CFG_VERSION_FONT_NAME = 10119,
    CFG_VERSION_FONT_SIZE = 10120,
    CFG_VERSION_TEXT_COLOR = 10121,
    CFG_VERSION_FONT_WEIGHT = 10122,
    CFG_SPLASH_FROM_RUNTIME = 10123,
    CFG_CLASS_DATA_SHARING = 10124,
};

// How a setting's value is read; the builder checks values against it.
enum class ConfigForm { String, Int, Flag, List, Color, Char };

struct ConfigIdInfo {
    int32_t id;
    const char* name;  // without the CFG_ prefix
    ConfigForm form;
    const char* meaning;
};

// Executable types (id 107) whose errors are shown in message boxes: 1 (a GUI
// application) and 5; any other type writes them to standard error.
bool exeTypeShowsMessageBoxes(int32_t exeType);

// Every id the launcher knows, in ascending order. Returns the table and its size.
const ConfigIdInfo* configIdTable(int* count);
// nullptr when the id or name is unknown.
const ConfigIdInfo* findConfigId(int32_t id);
const ConfigIdInfo* findConfigIdByName(const char* nameWithoutPrefix);
