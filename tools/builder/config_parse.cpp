// The configuration-file format: NAME = value lines and the sections
// [strings], [wide], [lang KEY] and [files].
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "builder.h"
#include "files/entry_name.h"
#include "launcher/config_ids.h"
#include "resources.h"

namespace builder {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b])) ++b;
    while (e > b && isBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string charName(uint32_t cp) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "U+%04X", cp);
    std::string s = buf;
    if (cp >= 0x20 && cp != 0x7F && !(cp >= 0x80 && cp < 0xA0)) {
        s += " '";
        appendUtf8(s, cp);
        s += "'";
    }
    return s;
}

// Decodes the value text after "=" (blanks before it already skipped or not).
bool parseValue(const std::string& raw, std::vector<TextUnit>& units, std::string& error) {
    units.clear();
    std::string text = trim(raw);
    if (text.empty() || text[0] != '"') {
        std::vector<uint32_t> cps;
        if (!decodeUtf8(text, cps)) {
            error = "invalid UTF-8 in the value";
            return false;
        }
        for (uint32_t cp : cps) units.push_back({TextUnit::CodePoint, cp});
        return true;
    }
    // Quoted: escapes, every blank kept, only blanks or a comment after the closing quote.
    std::string pending;  // UTF-8 bytes not yet decoded
    auto flush = [&]() -> bool {
        std::vector<uint32_t> cps;
        if (!decodeUtf8(pending, cps)) {
            error = "invalid UTF-8 in the value";
            return false;
        }
        for (uint32_t cp : cps) units.push_back({TextUnit::CodePoint, cp});
        pending.clear();
        return true;
    };
    size_t i = 1;
    for (;;) {
        if (i >= text.size()) {
            error = "unterminated quote";
            return false;
        }
        char c = text[i];
        if (c == '"') break;
        if (c != '\\') {
            pending += c;
            ++i;
            continue;
        }
        if (!flush()) return false;
        if (i + 1 >= text.size()) {
            error = "unterminated quote";
            return false;
        }
        char e = text[i + 1];
        switch (e) {
            case 'n': units.push_back({TextUnit::CodePoint, '\n'}); i += 2; break;
            case 'r': units.push_back({TextUnit::CodePoint, '\r'}); i += 2; break;
            case 't': units.push_back({TextUnit::CodePoint, '\t'}); i += 2; break;
            case '\\': units.push_back({TextUnit::CodePoint, '\\'}); i += 2; break;
            case '"': units.push_back({TextUnit::CodePoint, '"'}); i += 2; break;
            case 'x': {
                int h1 = i + 2 < text.size() ? hexValue(text[i + 2]) : -1;
                int h2 = i + 3 < text.size() ? hexValue(text[i + 3]) : -1;
                if (h1 < 0 || h2 < 0) {
                    error = "bad escape: \\x needs two hex digits";
                    return false;
                }
                units.push_back({TextUnit::RawByte, static_cast<uint32_t>(h1 * 16 + h2)});
                i += 4;
                break;
            }
            case 'u': {
                uint32_t v = 0;
                for (int k = 0; k < 4; ++k) {
                    int h = i + 2 + k < text.size() ? hexValue(text[i + 2 + k]) : -1;
                    if (h < 0) {
                        error = "bad escape: \\u needs four hex digits";
                        return false;
                    }
                    v = v * 16 + static_cast<uint32_t>(h);
                }
                units.push_back({TextUnit::CodeUnit, v});
                i += 6;
                break;
            }
            default: {
                error = "bad escape: \\";
                if (static_cast<unsigned char>(e) >= 0x20 && static_cast<unsigned char>(e) < 0x7F) error += e;
                error += " (known: \\n \\r \\t \\\\ \\\" \\xHH \\uHHHH)";
                return false;
            }
        }
    }
    if (!flush()) return false;
    std::string rest = trim(text.substr(i + 1));
    if (!rest.empty() && rest[0] != '#') {
        error = "unexpected text after the closing quote: " + rest;
        return false;
    }
    return true;
}

// Narrow text of a value; \uHHHH stands for the character (a lone surrogate fails).
// Windows-1252, or UTF-8 when the manifest selects the UTF-8 code page.
bool toNarrow(const std::vector<TextUnit>& units, std::string& out, std::string& error, bool utf8) {
    std::vector<TextUnit> fixed = units;
    for (TextUnit& u : fixed)
        if (u.kind == TextUnit::CodeUnit) u.kind = TextUnit::CodePoint;
    if (utf8) {
        out.clear();
        for (const TextUnit& u : fixed) {
            if (u.kind == TextUnit::RawByte) {
                out += static_cast<char>(u.value);
            } else if (u.value >= 0xD800 && u.value < 0xE000) {
                error = "character " + charName(u.value) + " (a lone surrogate) cannot be written in UTF-8";
                return false;
            } else {
                appendUtf8(out, u.value);
            }
        }
        return true;
    }
    uint32_t bad = 0;
    if (!unitsToNarrow(fixed, out, bad)) {
        error = "character " + charName(bad) +
                " cannot be written in Windows-1252 (use [wide], \\xHH, or UTF8_CODE_PAGE = 1 in [resources])";
        return false;
    }
    return true;
}

bool isDecimalInt32(const std::string& s) {
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (i >= s.size()) return false;
    long long v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
        if (v > 2147483648LL) return false;
    }
    if (v == 2147483648LL && s[0] != '-') return false;
    return true;
}

bool isColour(const std::string& s) {
    std::vector<std::string> parts;
    size_t b = 0;
    for (;;) {
        size_t c = s.find(',', b);
        parts.push_back(trim(s.substr(b, c == std::string::npos ? std::string::npos : c - b)));
        if (c == std::string::npos) break;
        b = c + 1;
    }
    if (parts.size() != 3) return false;
    for (const std::string& p : parts) {
        if (p.empty() || p.size() > 3) return false;
        int v = 0;
        for (char c : p) {
            if (c < '0' || c > '9') return false;
            v = v * 10 + (c - '0');
        }
        if (v > 255) return false;
    }
    return true;
}

std::string shown(const std::string& value) {
    std::string s = "\"";
    for (unsigned char c : value) {
        if (c >= 0x20 && c < 0x7F) {
            s += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            s += buf;
        }
        if (s.size() > 60) {
            s += "...";
            break;
        }
    }
    return s + "\"";
}

std::string lineOrigin(const std::string& file, int line) { return file + ":" + std::to_string(line); }

bool failAt(std::string& error, const std::string& origin, const std::string& message) {
    error = origin + ": " + message;
    return false;
}

bool isNumericName(const std::string& name) {
    size_t i = (name[0] == '-' || name[0] == '+') ? 1 : 0;
    if (i >= name.size()) return false;
    for (; i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    return true;
}

enum class Section { Strings, Wide, Lang, Files, Resources };

bool addFile(BuildInput& input, const std::string& nameUtf8, const std::string& path, const std::string& origin,
             std::string& error) {
    AppendedFile file;
    std::string message;
    if (!checkAppendedName(nameUtf8, file.name, message)) return failAt(error, origin, message);
    for (const AppendedFile& other : input.files) {
        bool same = other.name.size() == file.name.size();
        for (size_t i = 0; same && i < file.name.size(); ++i) {
            char a = file.name[i], b = other.name[i];
            if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
            if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
            same = a == b;
        }
        if (same) return failAt(error, origin, "file name " + nameUtf8 + " is given twice (also at " + other.origin + ")");
    }
    if (path.empty()) return failAt(error, origin, "no path given for appended file " + nameUtf8);
    file.path = path;
    file.origin = origin;
    input.files.push_back(std::move(file));
    return true;
}

std::string upper(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// Optimal string alignment distance (an adjacent swap counts as one edit).
size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

std::vector<std::string> settingNames() {
    int count = 0;
    const ConfigIdInfo* table = configIdTable(&count);
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back(table[i].name);
    return names;
}

}  // namespace

std::string closestName(const std::string& name, const std::vector<std::string>& known) {
    std::string wanted = upper(name);
    if (wanted.compare(0, 4, "CFG_") == 0) wanted = wanted.substr(4);
    std::string best;
    size_t bestDistance = 3;
    for (const std::string& candidate : known) {
        size_t limit = candidate.size() <= 4 ? 1 : 2;
        size_t gap = wanted.size() > candidate.size() ? wanted.size() - candidate.size() : candidate.size() - wanted.size();
        if (gap > limit) continue;  // at least that many letters missing or extra
        size_t distance = editDistance(wanted, candidate);
        if (distance <= limit && distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

bool configFileText(const std::string& raw, std::string& text, std::string& error) {
    bool little = false, big = false;
    size_t start = 0;
    if (raw.compare(0, 2, "\xFF\xFE") == 0) {
        little = true;
        start = 2;
    } else if (raw.compare(0, 2, "\xFE\xFF") == 0) {
        big = true;
        start = 2;
    } else if (raw.size() >= 2 && raw[0] != '\0' && raw[1] == '\0') {
        little = true;  // UTF-16LE without a byte-order mark: ASCII text with a NUL after every byte
    } else if (raw.size() >= 2 && raw[0] == '\0' && raw[1] != '\0') {
        big = true;
    }
    if (!little && !big) {
        text = raw;
        return true;
    }
    const char* encoding = little ? "UTF-16LE (Notepad's \"Unicode\", PowerShell 5's \">\")" : "UTF-16BE";
    if ((raw.size() - start) % 2 != 0) {
        error = "the file is " + std::string(encoding) + " text cut off in the middle of a character";
        return false;
    }
    text.clear();
    auto unitAt = [&](size_t at) -> uint32_t {
        unsigned char a = static_cast<unsigned char>(raw[at]), b = static_cast<unsigned char>(raw[at + 1]);
        return little ? (a | b << 8) : (a << 8 | b);
    };
    for (size_t at = start; at < raw.size(); at += 2) {
        uint32_t unit = unitAt(at);
        if (unit >= 0xD800 && unit < 0xDC00 && at + 3 < raw.size()) {
            uint32_t low = unitAt(at + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                appendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                at += 2;
                continue;
            }
        }
        if (unit >= 0xD800 && unit < 0xE000) {
            error = "the file is " + std::string(encoding) + " text with a broken character (half of a surrogate pair "
                    "at byte " + std::to_string(at) + ")";
            return false;
        }
        if (unit == 0) {
            error = "the file is " + std::string(encoding) + " text with a NUL character at byte " + std::to_string(at);
            return false;
        }
        appendUtf8(text, unit);
    }
    return true;
}

bool resolveSettingName(const std::string& name, int32_t& id, std::string& error) {
    if (name.empty()) {
        error = "missing setting name before \"=\"";
        return false;
    }
    if (isNumericName(name)) {
        long long v = 0;
        size_t i = (name[0] == '-' || name[0] == '+') ? 1 : 0;
        for (; i < name.size() && v <= 2147483648LL; ++i) v = v * 10 + (name[i] - '0');
        if (name[0] == '-') v = -v;
        if (v > 2147483647LL || v < -2147483648LL) {
            error = "setting id " + name + " is outside the 32-bit range";
            return false;
        }
        id = static_cast<int32_t>(v);
        return true;
    }
    const ConfigIdInfo* info = findConfigIdByName(name.c_str());
    if (!info) {
        error = "unknown setting " + name;
        std::string near = closestName(name, settingNames());
        std::vector<std::string> resourceKeys = resourceKeyNames();
        if (std::find(resourceKeys.begin(), resourceKeys.end(), name) != resourceKeys.end())
            error += " (" + name + " is a key of the [resources] section)";
        else if (!near.empty())
            error += "; did you mean " + near + "?";
        else if (!(near = closestName(name, resourceKeys)).empty())
            error += "; did you mean " + near + " (a key of the [resources] section)?";
        return false;
    }
    id = info->id;
    return true;
}

bool checkSettingValue(int32_t id, const std::string& value, std::string& error) {
    const ConfigIdInfo* info = findConfigId(id);
    if (!info) return true;
    const std::string name = info->name;
    if (value.size() > kNarrowLimit) {
        error = name + ": value of " + std::to_string(value.size()) + " bytes is longer than the launcher reads (at most " +
                std::to_string(kNarrowLimit) + ")";
        return false;
    }
    switch (info->form) {
        case ConfigForm::Int:
        case ConfigForm::Flag:
            if (!isDecimalInt32(value)) {
                error = name + ": not a number: " + shown(value) + " (a decimal integer within 32 bits is expected)";
                return false;
            }
            break;
        case ConfigForm::Color:
            if (!isColour(value)) {
                error = name + ": not a colour: " + shown(value) +
                        " (three numbers 0..255 separated by commas, red,green,blue, are expected)";
                return false;
            }
            break;
        case ConfigForm::Char:
            if (value.size() != 1) {
                error = name + ": exactly one character is expected, not " + shown(value);
                return false;
            }
            break;
        case ConfigForm::String:
        case ConfigForm::List:
            break;
    }
    if ((id == 10112 || id == 10119) && value.size() > kFontNameLimit) {
        error = name + ": a font name has at most " + std::to_string(kFontNameLimit) + " characters, not " +
                std::to_string(value.size());
        return false;
    }
    if (id == 152 && value.size() > kVmTypeLimit) {
        error = name + ": at most " + std::to_string(kVmTypeLimit) + " bytes, not " + std::to_string(value.size());
        return false;
    }
    return true;
}

bool checkAppendedName(const std::string& nameUtf8, std::string& stored, std::string& error) {
    std::string name = nameUtf8;
    for (char& c : name)
        if (c == '/') c = '\\';
    if (name.empty()) {
        error = "empty file name";
        return false;
    }
    // A [files] line writes the name as the text before "=" (trimmed): a name that
    // holds "=", begins with "#" or "[", or begins or ends with a blank would read back
    // as another name, a comment or a section header.
    if (name.find('=') != std::string::npos || name[0] == '#' || name[0] == '[' || isBlank(name.front()) ||
        isBlank(name.back())) {
        error = "file name " + nameUtf8 +
                " cannot be written in a configuration file (\"=\", a leading \"#\" or \"[\", or a blank at either end)";
        return false;
    }
    if (name[0] == '\\') {
        error = "file name " + nameUtf8 + " must be relative (it begins with a separator)";
        return false;
    }
    if (name.find(':') != std::string::npos) {
        error = "file name " + nameUtf8 + " must be relative (no drive letter or \":\")";
        return false;
    }
    if (name.find(';') != std::string::npos) {
        error = "file name " + nameUtf8 + " must not contain \";\" (it separates the names in FILE_LIST)";
        return false;
    }
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F || std::strchr("<>\"|?*", c) != nullptr) {
            error = "file name " + nameUtf8 + " contains a character that Windows file names cannot hold";
            return false;
        }
    }
    std::vector<std::string> parts;
    size_t b = 0;
    for (;;) {
        size_t s = name.find('\\', b);
        parts.push_back(name.substr(b, s == std::string::npos ? std::string::npos : s - b));
        if (s == std::string::npos) break;
        b = s + 1;
    }
    for (const std::string& p : parts) {
        if (p.empty()) {
            error = "file name " + nameUtf8 + " has an empty path component";
            return false;
        }
        if (p == "." || p == "..") {
            error = "file name " + nameUtf8 + " must not contain a \".\" or \"..\" component";
            return false;
        }
    }
    if (parts.size() > 2) {
        error = "file name " + nameUtf8 + " has more than one directory level";
        return false;
    }
    std::vector<uint32_t> cps;
    if (!decodeUtf8(name, cps)) {
        error = "file name is not valid UTF-8";
        return false;
    }
    stored.clear();
    for (uint32_t cp : cps) {
        unsigned char byte;
        if (!unicodeToCp1252(cp, byte) || (byte >= 0x80 && byte < 0xA0 && cp1252ToUnicode(byte) == byte)) {
            error = "file name " + nameUtf8 + ": character " + charName(cp) + " cannot be written in Windows-1252";
            return false;
        }
        stored += static_cast<char>(byte);
    }
    // The launcher's own rule last: a name it would refuse to extract is never written.
    if (!isSafeEntryName(stored)) {
        error = "file name " + nameUtf8 +
                " would leave the extraction directory (Windows reads a component of dots and blanks as \"..\")";
        return false;
    }
    return true;
}

bool parseConfigText(const std::string& rawText, const std::string& fileName, const std::string& baseDir,
                     BuildInput& input, std::string& error) {
    std::string text, message;
    if (!configFileText(rawText, text, message)) return failAt(error, lineOrigin(fileName, 1), message);
    // Two passes: the [resources] section first, because the manifest decides
    // how the narrow text of every other line is written.
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1 && !finishResourceInput(input.resources, error)) return false;
        const bool utf8 = input.resources.utf8;
        Section section = Section::Strings;
        size_t pos = 0;
        int lineNo = 0;
        if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
        while (pos < text.size()) {
            size_t nl = text.find('\n', pos);
            std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
            pos = nl == std::string::npos ? text.size() : nl + 1;
            ++lineNo;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const std::string origin = lineOrigin(fileName, lineNo);
            std::string t = trim(line);
            if (t.empty() || t[0] == '#') continue;

            if (t[0] == '[') {
                // A quoted language key may hold "]": look for the bracket after the closing quote.
                size_t from = 1;
                size_t quote = t.find('"');
                if (quote != std::string::npos && t.compare(1, 4, "lang") == 0 && trim(t.substr(5, quote - 5)).empty()) {
                    size_t q = quote + 1;
                    while (q < t.size() && t[q] != '"') q += t[q] == '\\' ? 2 : 1;
                    if (q >= t.size()) return failAt(error, origin, "unterminated quote");
                    from = q + 1;
                }
                size_t close = t.find(']', from);
                if (close == std::string::npos) return failAt(error, origin, "section header without \"]\"");
                std::string after = trim(t.substr(close + 1));
                if (!after.empty() && after[0] != '#') return failAt(error, origin, "unexpected text after the section header");
                std::string inner = trim(t.substr(1, close - 1));
                if (inner == "strings") {
                    section = Section::Strings;
                } else if (inner == "wide") {
                    section = Section::Wide;
                } else if (inner == "files") {
                    section = Section::Files;
                } else if (inner == "resources") {
                    section = Section::Resources;
                } else if (inner == "lang" || (inner.compare(0, 4, "lang") == 0 && isBlank(inner[4]))) {
                    std::string keyText = trim(inner.substr(4));
                    std::vector<TextUnit> units;
                    std::string message;
                    if (!keyText.empty() && keyText[0] == '"') {
                        if (!parseValue(keyText, units, message)) return failAt(error, origin, message);
                    } else {
                        std::vector<uint32_t> cps;
                        if (!decodeUtf8(keyText, cps)) return failAt(error, origin, "invalid UTF-8 in the language key");
                        for (uint32_t cp : cps) units.push_back({TextUnit::CodePoint, cp});
                    }
                    LanguageSetInput set;
                    section = Section::Lang;
                    if (pass == 0) continue;
                    if (!toNarrow(units, set.key, message, utf8)) return failAt(error, origin, message);
                    set.origin = origin;
                    input.sets.push_back(std::move(set));
                } else {
                    return failAt(error, origin, "unknown section [" + inner + "] (known: [strings], [wide], [lang KEY], [files], [resources])");
                }
                continue;
            }

            if ((pass == 0) != (section == Section::Resources)) continue;
            size_t eq = t.find('=');
            if (eq == std::string::npos) return failAt(error, origin, "expected NAME = value");
            std::string name = trim(t.substr(0, eq));
            std::vector<TextUnit> units;
            std::string message;
            if (!parseValue(t.substr(eq + 1), units, message)) return failAt(error, origin, message);

            if (section == Section::Resources) {
                auto earlier = input.resources.lines.find(name);
                if (earlier != input.resources.lines.end())
                    input.warnings.push_back({origin, name + " is given again (earlier at " + earlier->second.origin +
                                                          "): this line's value counts"});
                if (!parseResourceLine(name, units, origin, baseDir, input.resources, message))
                    return failAt(error, origin, message);
                continue;
            }

            if (section == Section::Files) {
                std::string path;
                for (const TextUnit& u : units) {
                    if (u.kind == TextUnit::RawByte) return failAt(error, origin, "\\xHH is not allowed in a path");
                    // A path is text: no NUL (it would end the path early) and no half of a surrogate pair.
                    if (u.value == 0) return failAt(error, origin, "a path cannot hold a NUL character");
                    if (u.value >= 0xD800 && u.value <= 0xDFFF)
                        return failAt(error, origin, "a path cannot hold " + charName(u.value) + " (half of a surrogate pair)");
                    appendUtf8(path, u.value);
                }
                if (!path.empty() && !isAbsolutePath(path)) path = joinPath(baseDir, path);
                if (!addFile(input, name, path, origin, error)) return false;
                continue;
            }

            if (name.empty()) return failAt(error, origin, "missing setting name before \"=\"");
            int32_t id;
            if (!resolveSettingName(name, id, message)) return failAt(error, origin, message);
            auto twice = [&](const std::string& earlier) {
                const ConfigIdInfo* info = findConfigId(id);
                std::string shownName = info ? info->name : "id " + std::to_string(id);
                if (shownName != name && "CFG_" + shownName != name) shownName = name + " (" + shownName + ")";
                input.warnings.push_back({origin, shownName + " is given again (earlier at " + earlier +
                                                      "): this line's value counts"});
            };
            if (section == Section::Strings) {
                std::string value;
                if (!toNarrow(units, value, message, utf8)) return failAt(error, origin, message);
                if (!isNumericName(name) && !checkSettingValue(id, value, message)) return failAt(error, origin, message);
                if (input.strings.count(id)) twice(input.strings[id].origin);
                input.strings[id] = Setting{value, origin};
            } else {
                WideSetting w{unitsToWide(units), origin};
                std::map<int32_t, WideSetting>& table = section == Section::Wide ? input.wides : input.sets.back().entries;
                if (table.count(id)) twice(table[id].origin);
                table[id] = w;
            }
        }
    }
    return true;
}

bool applySetArgument(const std::string& argument, BuildInput& input, std::string& error) {
    size_t eq = argument.find('=');
    if (eq == std::string::npos) {
        error = "--set " + argument + ": expected NAME=VALUE";
        return false;
    }
    std::string name = trim(argument.substr(0, eq));
    std::string origin = "--set " + name;
    int32_t id;
    std::string message;
    std::vector<std::string> resourceKeys = resourceKeyNames();
    if (std::find(resourceKeys.begin(), resourceKeys.end(), name) != resourceKeys.end()) {
        // A [resources] key. The two that decide how the other settings are written
        // stay in the file, where they are read before everything else.
        if (name == "MANIFEST" || name == "UTF8_CODE_PAGE")
            return failAt(error, origin, name + " decides how the other settings are written: set it in the "
                                                "[resources] section of the configuration file");
        std::vector<uint32_t> codePoints;
        if (!decodeUtf8(argument.substr(eq + 1), codePoints)) return failAt(error, origin, "invalid UTF-8 in the value");
        std::vector<TextUnit> units;
        for (uint32_t cp : codePoints) units.push_back({TextUnit::CodePoint, cp});
        if (!parseResourceLine(name, units, origin, directoryOf(absolutePath("x")), input.resources, message))
            return failAt(error, origin, message);
        return true;
    }
    if (!resolveSettingName(name, id, message)) return failAt(error, origin, message);
    std::vector<uint32_t> cps;
    if (!decodeUtf8(argument.substr(eq + 1), cps)) return failAt(error, origin, "invalid UTF-8 in the value");
    std::vector<TextUnit> units;
    for (uint32_t cp : cps) units.push_back({TextUnit::CodePoint, cp});
    std::string value;
    if (!toNarrow(units, value, message, input.resources.utf8)) return failAt(error, origin, message);
    if (!isNumericName(name) && !checkSettingValue(id, value, message)) return failAt(error, origin, message);
    input.strings[id] = Setting{value, origin};
    return true;
}

bool applyFileArgument(const std::string& argument, BuildInput& input, std::string& error) {
    size_t eq = argument.find('=');
    if (eq == std::string::npos) {
        error = "--file " + argument + ": expected NAME=PATH";
        return false;
    }
    std::string name = argument.substr(0, eq);
    return addFile(input, name, argument.substr(eq + 1), "--file " + name, error);
}

}  // namespace builder
