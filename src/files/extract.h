// Extraction of the files appended after the configuration block.
#pragma once
#include <cstdint>
#include <string>

// The extraction directory; empty when nothing was extracted.
std::string& tempDir();
// File position just past the last extracted entry (0 when nothing was extracted).
int32_t unextractedPosition();
// 0 on success, 1 after a read failure, 2 after a write failure.
int extractFiles();
// Deletes what lies in path: files, and (with recurse) the files of its subdirectories,
// removing those subdirectories. Does nothing for an empty path or one beginning with ".".
void emptyDirectory(const std::string& path, bool recurse);
