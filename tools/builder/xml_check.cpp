// XML well-formedness, as far as a Windows application manifest needs it: no
// DTD, names in ASCII, the file read as UTF-8. Messages name line and column.
#include "xml_check.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace builder {

namespace {

struct XmlChecker {
    const std::string& s;
    size_t i = 0;
    std::string& error;

    bool failHere(const std::string& what) {
        int line = 1, column = 1;
        for (size_t k = 0; k < i && k < s.size(); ++k) {
            if (s[k] == '\n') {
                ++line;
                column = 1;
            } else if ((static_cast<unsigned char>(s[k]) & 0xC0) != 0x80) {
                ++column;
            }
        }
        error = "not well-formed XML at line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + what;
        return false;
    }
    bool at(const char* t) const { return s.compare(i, std::strlen(t), t) == 0; }
    static bool space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    // The characters of XML text: no controls but tab and line ends, no U+FFFE, U+FFFF.
    static bool allowedChar(uint32_t c) {
        return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
               (c >= 0x10000 && c <= 0x10FFFF);
    }
    bool charactersAllowed() {  // over the UTF-8 bytes
        for (i = 0; i < s.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(s[i]);
            if (c < 0x20 && !allowedChar(c)) {
                char hexText[8];
                std::snprintf(hexText, sizeof hexText, "%02X", c);
                return failHere(std::string("a control character (0x") + hexText + ")");
            }
            if (c == 0xEF && s.compare(i + 1, 2, "\xBF\xBE") == 0) return failHere("the non-character U+FFFE");
            if (c == 0xEF && s.compare(i + 1, 2, "\xBF\xBF") == 0) return failHere("the non-character U+FFFF");
        }
        i = 0;
        return true;
    }
    // Names in ASCII: a manifest's are, and other letters' classes differ between XML editions.
    static bool nameStart(unsigned char c) { return std::isalpha(c) || c == '_' || c == ':'; }
    static bool nameChar(unsigned char c) { return nameStart(c) || std::isdigit(c) || c == '-' || c == '.'; }
    void skipSpace() {
        while (i < s.size() && space(s[i])) ++i;
    }
    bool name(std::string& out) {
        size_t b = i;
        if (i >= s.size() || !nameStart(static_cast<unsigned char>(s[i]))) return failHere("a name is expected");
        while (i < s.size() && nameChar(static_cast<unsigned char>(s[i]))) ++i;
        out = s.substr(b, i - b);
        return true;
    }
    bool reference() {  // at '&'
        size_t semi = s.find(';', i);
        if (semi == std::string::npos || semi - i > 12) return failHere("'&' that does not begin a reference");
        std::string ref = s.substr(i + 1, semi - i - 1);
        bool ok = ref == "lt" || ref == "gt" || ref == "amp" || ref == "quot" || ref == "apos";
        if (!ok && ref.size() > 1 && ref[0] == '#') {
            bool hexForm = ref[1] == 'x';
            size_t k = hexForm ? 2 : 1;
            ok = k < ref.size();
            uint32_t value = 0;
            for (; ok && k < ref.size(); ++k) {
                ok = hexForm ? std::isxdigit(static_cast<unsigned char>(ref[k])) != 0
                             : std::isdigit(static_cast<unsigned char>(ref[k])) != 0;
                const int digit = std::isdigit(static_cast<unsigned char>(ref[k])) ? ref[k] - '0'
                                                                                  : std::tolower(ref[k]) - 'a' + 10;
                if (ok) value = std::min<uint32_t>(value * (hexForm ? 16 : 10) + digit, 0x110000);
            }
            if (ok && !allowedChar(value)) return failHere("&" + ref + "; is not a character XML allows");
        }
        if (!ok) return failHere("unknown reference &" + ref + ";");
        i = semi + 1;
        return true;
    }
    bool until(const char* end, const char* what) {
        size_t e = s.find(end, i);
        if (e == std::string::npos) return failHere(std::string("unterminated ") + what);
        i = e + std::strlen(end);
        return true;
    }
    bool comment() {  // at "<!--"
        i += 4;
        size_t e = s.find("--", i);
        if (e == std::string::npos) return failHere("unterminated comment");
        i = e;
        if (!at("-->")) return failHere("\"--\" inside a comment");
        i += 3;
        return true;
    }
    // One pseudo-attribute of the XML declaration: a blank, the name, '=', a quoted value.
    // found is false (and nothing read) when the name does not come next.
    bool pseudoAttribute(const char* key, std::string& value, bool& found) {
        const size_t start = i;
        found = false;
        skipSpace();
        if (i == start || !at(key)) {
            i = start;
            return true;
        }
        i += std::strlen(key);
        skipSpace();
        if (i >= s.size() || s[i] != '=') return failHere(std::string("'=' is expected after ") + key);
        ++i;
        skipSpace();
        if (i >= s.size() || (s[i] != '"' && s[i] != '\'')) return failHere("a quoted value is expected");
        const char q = s[i++];
        const size_t b = i;
        while (i < s.size() && s[i] != q) ++i;
        if (i >= s.size()) return failHere("unterminated attribute value");
        value = s.substr(b, i++ - b);
        found = true;
        return true;
    }
    // At "<?xml": version, then optionally encoding and standalone, in this order. The
    // file is read as UTF-8: another encoding is refused unless the text is ASCII.
    bool declaration() {
        i += 5;
        std::string version, encoding, standalone;
        bool found = false;
        if (!pseudoAttribute("version", version, found)) return false;
        if (!found) return failHere("the XML declaration needs a version");
        bool digits = version.size() > 2 && version.compare(0, 2, "1.") == 0;
        for (size_t k = 2; digits && k < version.size(); ++k) digits = std::isdigit(static_cast<unsigned char>(version[k]));
        if (!digits) return failHere("version \"" + version + "\" is not an XML version");
        if (!pseudoAttribute("encoding", encoding, found)) return false;
        if (found) {
            std::string upper;
            for (char c : encoding) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            bool ascii = true;
            for (char c : s) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
            if (upper != "UTF-8" && !((upper == "US-ASCII" || upper == "ISO-8859-1") && ascii))
                return failHere("the encoding \"" + encoding + "\" (the file is read as UTF-8)");
        }
        if (!pseudoAttribute("standalone", standalone, found)) return false;
        if (found && standalone != "yes" && standalone != "no")
            return failHere("standalone is \"yes\" or \"no\", not \"" + standalone + "\"");
        skipSpace();
        if (!at("?>")) return failHere("the XML declaration does not end here");
        i += 2;
        return true;
    }
    bool pi(bool first) {  // at "<?"
        const size_t start = i;
        i += 2;
        std::string target;
        if (!name(target)) return false;
        std::string lower;
        for (char c : target) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower == "xml") {
            if (target != "xml") return failHere("the processing instruction name " + target + " is reserved");
            if (!first) return failHere("the XML declaration must come first");
            i = start;
            return declaration();
        }
        if (!at("?>") && (i >= s.size() || !space(s[i]))) return failHere("a blank is expected after " + target);
        return until("?>", "processing instruction");
    }
    // Comments, processing instructions and blanks outside the root element (the XML
    // declaration, which may only come first, is read before).
    bool misc() {
        for (;;) {
            skipSpace();
            if (at("<!--")) {
                if (!comment()) return false;
            } else if (at("<?")) {
                if (!pi(false)) return false;
            } else if (at("<!DOCTYPE")) {
                return failHere("a DOCTYPE is not allowed in a manifest");
            } else {
                return true;
            }
        }
    }
    bool prolog() {
        if (at("\xEF\xBB\xBF")) i = 3;
        if (at("<?") && !pi(true)) return false;
        return misc();
    }
    bool attributeValue() {
        if (i >= s.size() || (s[i] != '"' && s[i] != '\'')) return failHere("a quoted value is expected");
        char q = s[i++];
        while (i < s.size() && s[i] != q) {
            if (s[i] == '<') return failHere("'<' inside an attribute value");
            if (s[i] == '&') {
                if (!reference()) return false;
            } else {
                ++i;
            }
        }
        if (i >= s.size()) return failHere("unterminated attribute value");
        ++i;
        return true;
    }
    // The attributes of a start tag, up to its '>' or "/>" (not read).
    bool attributes(const std::string& element) {
        std::vector<std::string> seen;
        for (;;) {
            bool blank = i < s.size() && space(s[i]);
            skipSpace();
            if (i >= s.size()) return failHere("unterminated tag <" + element + ">");
            if (s[i] == '>' || at("/>")) return true;
            if (!blank) return failHere("a blank is expected between attributes");
            std::string a;
            if (!name(a)) return false;
            for (const std::string& other : seen)
                if (other == a) return failHere("attribute " + a + " given twice");
            seen.push_back(a);
            skipSpace();
            if (i >= s.size() || s[i] != '=') return failHere("'=' is expected after " + a);
            ++i;
            skipSpace();
            if (!attributeValue()) return false;
        }
    }
    bool startTag(std::vector<std::string>& open, std::string& rootName) {  // at '<'
        ++i;
        std::string n;
        if (!name(n)) return false;
        if (open.empty() && rootName.empty()) rootName = n;
        if (!attributes(n)) return false;
        if (at("/>")) {
            i += 2;
        } else {
            ++i;
            open.push_back(n);
        }
        return true;
    }
    bool endTag(std::vector<std::string>& open) {  // at "</"
        i += 2;
        std::string n;
        if (!name(n)) return false;
        if (open.empty() || n != open.back())
            return failHere("</" + n + "> does not close <" + (open.empty() ? "" : open.back()) + ">");
        skipSpace();
        if (i >= s.size() || s[i] != '>') return failHere("'>' is expected");
        ++i;
        open.pop_back();
        return true;
    }
    // One piece inside the root element: a tag, a comment, CDATA, a PI, a reference or a character.
    bool content(std::vector<std::string>& open, std::string& rootName) {
        if (s[i] == '&') return reference();
        if (s[i] != '<') {
            if (at("]]>")) return failHere("\"]]>\" in text");
            ++i;
            return true;
        }
        if (at("<!--")) return comment();
        if (at("<![CDATA[")) {
            i += 9;
            return until("]]>", "CDATA section");
        }
        if (at("<?")) return pi(false);
        if (at("</")) return endTag(open);
        return startTag(open, rootName);
    }
    bool rootElement(std::string& rootName) {  // at its '<'
        std::vector<std::string> open;
        do {
            if (!content(open, rootName)) return false;
            if (!open.empty() && i >= s.size()) return failHere("<" + open.back() + "> is not closed");
        } while (!open.empty());
        return true;
    }
    bool run(std::string& rootName) {
        if (!charactersAllowed() || !prolog()) return false;
        if (i >= s.size() || s[i] != '<') return failHere("the root element is missing");
        if (!rootElement(rootName) || !misc()) return false;
        if (i < s.size()) return failHere("text after the root element");
        return true;
    }
};

}  // namespace

bool isXmlSpace(char c) { return XmlChecker::space(c); }

bool checkWellFormedXml(const std::string& xml, std::string& rootName, std::string& error) {
    rootName.clear();
    XmlChecker checker{xml, 0, error};
    return checker.run(rootName);
}

}  // namespace builder
