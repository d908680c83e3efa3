// The XML checker on its own: what it gives back besides the verdict (the root
// element's name as written) and where it places a fault. The manifest rules on
// top of it are tested with the [resources] section.
#include <gtest/gtest.h>

#include <string>

#include "xml_check.h"

TEST(XmlCheck, RootNameAndVerdict) {
    struct Case {
        const char* what;
        const char* xml;
        const char* root;   // the name given back ("" for none)
        const char* error;  // nullptr: well-formed
    } cases[] = {
        {"the root of any name", "<dependency/>", "dependency", nullptr},
        {"the prefix kept", "<asm:assembly xmlns:asm='urn:x'><asm:a/></asm:assembly>", "asm:assembly", nullptr},
        {"a nested element is not the root", "<a><b><c/></b></a>", "a", nullptr},
        {"a byte-order mark and a declaration first", "\xEF\xBB\xBF<?xml version='1.0'?><r/>", "r", nullptr},
        {"comments and PIs around the root", "<!--x--><?pi a?><r/><!--y-->\n<?pi b?>\n", "r", nullptr},
        {"the root is read before a fault inside it", "<r><x></y></r>", "r", "line 1, column 10: </y> does not close <x>"},
        {"no root at all", "<!-- only -->", "", "the root element is missing"},
        {"the declaration after a comment", "<!--x--><?xml version='1.0'?><r/>", "", "the XML declaration must come first"},
        {"a second root", "<r/><s/>", "r", "text after the root element"},
        {"the place counts lines and characters",
         "<r>\n  <\xC3\xA9/>\n</r>", "r", "line 2, column 4: a name is expected"},
        {"a character reference past U+10FFFF", "<r>&#x110000;</r>", "r", "&#x110000; is not a character XML allows"},
        {"an attribute value with '<'", "<r a='<'/>", "r", "'<' inside an attribute value"},
    };
    for (const Case& c : cases) {
        std::string root = "left over", error;
        const bool ok = builder::checkWellFormedXml(c.xml, root, error);
        EXPECT_EQ(ok, c.error == nullptr) << c.what << ": " << error;
        EXPECT_EQ(root, c.root) << c.what;
        if (c.error) {
            EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
        }
    }
}

TEST(XmlCheck, Blanks) {
    for (char c : std::string(" \t\r\n")) EXPECT_TRUE(builder::isXmlSpace(c)) << int(c);
    for (char c : std::string("\v\f\0x_", 5)) EXPECT_FALSE(builder::isXmlSpace(c)) << int(c);
}
