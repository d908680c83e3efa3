// The user's format locale and display language from Windows.
#include <windows.h>

#include "language.h"

namespace {
// GetUserDefaultUILanguage looked up at run time; -1 when the system lacks it.
int userInterfaceLanguage() {
    HMODULE kernel = LoadLibraryA("Kernel32.DLL");
    if (!kernel) return -1;
    typedef LANGID(WINAPI * UiLanguageFn)();
    UiLanguageFn function = reinterpret_cast<UiLanguageFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetUserDefaultUILanguage")));
    int result = function ? static_cast<int>(function()) : -1;
    FreeLibrary(kernel);
    return result;
}
}  // namespace

std::string selectLanguage(const std::vector<std::u16string>& argumentList) {
    uint16_t formatLanguage = static_cast<uint16_t>(GetUserDefaultLCID() & 0xFFFF);
    std::string code = decideLanguage(argumentList, formatLanguage, &userInterfaceLanguage);
    recordLanguageCode(code);
    return code;
}
