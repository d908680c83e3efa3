// The rule for the names of appended files, shared by the builder (which refuses
// to write a name the launcher would refuse) and the launcher (which refuses to
// extract one).
#pragma once
#include <string>

// True when name stays inside the extraction directory: not empty, relative, no
// drive letter or other colon, no leading "\" or "/", and no component that
// Windows reads as ".." (two or more dots, with or without blanks: Windows drops
// trailing dots and blanks of a component). Both "\" and "/" separate.
bool isSafeEntryName(const std::string& name);
