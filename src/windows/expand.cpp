// Variable expansion: the fixed launcher variables in their order, then every
// environment variable of the block in braces, exact name first, then upper-cased.
#include "expand.h"

#include "launcher/log.h"

namespace {

// Every expanded text fits a caller's 8,192-byte buffer: longer results are cut.
constexpr size_t kMaxExpandedLength = kExpandedTextLimit;

std::string upperCaseAscii(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

}  // namespace

void replaceAll(std::string& text, const std::string& pattern, const std::string& value) {
    if (pattern.empty()) return;
    size_t position = 0;
    while (position < text.size()) {
        size_t found = text.find(pattern, position);
        if (found == std::string::npos) return;
        text.replace(found, pattern.size(), value);
        if (text.size() > kMaxExpandedLength) text.resize(kMaxExpandedLength);
        // Go on behind the inserted value: the value is never searched for this pattern.
        position = found + value.size();
        logMessage("expanding %s to %s in %s.", pattern.c_str(), value.c_str(), text.c_str());
    }
}

bool mayHoldVariables(const std::string& text) { return text.find_first_of("%$") != std::string::npos; }

void expandVariablesWith(std::string& text, const ExpansionContext& context) {
    if (text.size() > kMaxExpandedLength) text.resize(kMaxExpandedLength);
    // Every pattern begins with "%" or "$": a text with neither is left as it is.
    if (!mayHoldVariables(text)) return;
    const std::string separator = ";";
    const struct {
        const char* pattern;
        const std::string& value;
    } fixed[] = {
        {"%TOVEX_EXEDIR%", context.exeDirectory},
        {"%MARLOWKIT_EXEDIR%", context.exeDirectory},
        {"%TOVEX_TEMPDIR%", context.tempDir},
        {"%MARLOWKIT_TEMPDIR%", context.tempDir},
        {"%TOVEX_PATHLIST_SEPARATOR%", separator},
        {"%MARLOWKIT_PATHLIST_SEPARATOR%", separator},
        {"%TOVEX_JVM_HOME%", context.jvmHome},
        {"%MARLOWKIT_JVM_HOME%", context.jvmHome},
        {"${TOVEX_EXEDIR}", context.exeDirectory},
        {"${MARLOWKIT_EXEDIR}", context.exeDirectory},
        {"${TOVEX_TEMPDIR}", context.tempDir},
        {"${MARLOWKIT_TEMPDIR}", context.tempDir},
        {"${TOVEX_PATHLIST_SEPARATOR}", separator},
        {"${MARLOWKIT_PATHLIST_SEPARATOR}", separator},
        {"${TOVEX_JVM_HOME}", context.jvmHome},
        {"${MARLOWKIT_JVM_HOME}", context.jvmHome},
        {"${launcher:sys.launcherDirectory}", context.exeDirectory},
        {"${launcher:sys.launcherTempDirectory}", context.tempDir},
        {"${launcher:sys.pathlistSeparator}", separator},
        {"${launcher:sys.jvmHome}", context.jvmHome},
        {"${launcher:sys.tempDir}", context.systemTempDir},
    };
    for (const auto& row : fixed) replaceAll(text, row.pattern, row.value);

    // Without "${" now, no environment pattern can match (and none is inserted by a pass).
    if (text.find("${") == std::string::npos) return;
    for (const std::string& entry : context.environment) {
        std::string name, value;
        if (!splitEnvironmentEntry(entry, &name, &value)) continue;
        std::string pattern = "${" + name + "}";
        replaceAll(text, pattern, value);
        // An all-upper-case name has been replaced already: one pass per pattern.
        std::string upper = upperCaseAscii(pattern);
        if (upper != pattern) replaceAll(text, upper, value);
    }
}

bool splitEnvironmentEntry(const std::string& entry, std::string* name, std::string* value) {
    // A name never begins with "=" as its own separator: the block's "=C:=C:\dir"
    // entries (current directories of drives) are named "=C:".
    size_t equals = entry.find('=', 1);
    if (entry.empty() || equals == std::string::npos) return false;
    *name = entry.substr(0, equals);
    *value = entry.substr(equals + 1);
    if (value->size() > kMaxExpandedLength) value->resize(kMaxExpandedLength);
    return true;
}
