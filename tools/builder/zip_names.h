// The entry names of a zip archive (a jar), read from its central directory.
#pragma once
#include <string>
#include <vector>

namespace builder {

// The names listed in the central directory of the zip archive data, in their
// order (ZIP64 archives too). False with a message when the data is no zip
// archive or its directory runs past the data.
bool zipEntryNames(const std::string& data, std::vector<std::string>& names, std::string& error);

}  // namespace builder
