// XML well-formedness of a manifest (xml_check.cpp): pure, tested through the
// manifest checks of the [resources] section.
#pragma once
#include <string>

namespace builder {

// Well-formed XML without a DOCTYPE, read as UTF-8 (an XML declaration naming
// another encoding is refused unless the text is ASCII). rootName gets the root
// element's name as written (with its prefix); the message names line and column.
bool checkWellFormedXml(const std::string& xml, std::string& rootName, std::string& error);
// The blanks of XML: space, tab, carriage return, line feed.
bool isXmlSpace(char c);

}  // namespace builder
