// Configured messages: a message text (piece 1, also given as a wide string when
// piece 3 is non-empty) and an argument (piece 2); pieces are separated by NULs.
// Invariant: no crash; the argument takes the place of the first "{0}" only (the rest
// of the text, later "{0}" included, stays as written), a text without "{0}" or a
// missing argument leaves the text unchanged; a message text fits 8191 bytes; a
// fatal message shows exactly that text and ends with exit code 1. "{details}" is
// filled outside the argument only; a text without it is filled as before.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files/paths.h"
#include "fuzz_support.h"
#include "launcher/config.h"
#include "launcher/config_block.h"
#include "launcher/errors.h"
#include "launcher/texts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> pieces = splitInput(data, size, 3);
    const std::string& text = pieces[0];
    const std::string& argument = pieces[1];

    std::string replaced = applyMessageArgument(text, argument.c_str());
    size_t at = text.find("{0}");
    if (at == std::string::npos) {
        FUZZ_CHECK(replaced == text);
    } else {
        FUZZ_CHECK(replaced == text.substr(0, at) + argument + text.substr(at + 3));
    }
    FUZZ_CHECK(applyMessageArgument(text, nullptr) == text);
    FUZZ_CHECK(composeErrorText(text, nullptr) == text);
    std::string filled = fillMessage(text, argument.c_str(), "D");
    if (text.find("{details}") == std::string::npos) {
        FUZZ_CHECK(filled == replaced);
    } else if (at == std::string::npos) {
        FUZZ_CHECK(filled == applyMessageDetails(text, "D"));
    } else {
        FUZZ_CHECK(filled == applyMessageDetails(text.substr(0, at), "D") + argument +
                                 applyMessageDetails(text.substr(at + 3), "D"));
    }
    FUZZ_CHECK(composeErrorText(text, argument.c_str()) == text + "\n\nLog: " + argument);

    ConfigData config;
    config.strings[CFG_MSG_INTERNAL_ERROR] = text;
    if (!pieces[2].empty()) config.wideStrings[CFG_MSG_INTERNAL_ERROR] = toUtf16(pieces[2], 0);
    installConfig(config);
    std::string message = messageText(CFG_MSG_INTERNAL_ERROR);
    const std::string& source = pieces[2].empty() ? text : pieces[2];
    FUZZ_CHECK(message == source.substr(0, kPathBufferSize - 1));
    lastErrorText().clear();
    try {
        fatalMessage(CFG_MSG_INTERNAL_ERROR, argument.c_str());
        FUZZ_CHECK(!"fatalMessage returned");
    } catch (const FuzzExit& exit) {
        FUZZ_CHECK(exit.code == 1);
        // An internal error without details of its own gets the general advice.
        FUZZ_CHECK(lastErrorText() == fillMessage(message, argument.c_str(), texts::kInternalErrorAdvice));
    }
    return 0;
}
