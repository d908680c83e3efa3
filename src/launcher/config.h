// The launcher's configuration, read once from the block behind the last
// section of its own executable. Lookups never modify it; an absent id reads
// as "" and 0.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "config_ids.h"

// Reads the block of the own executable into the configuration, selecting the
// language on the way. Ends the process with the reader's fatal texts on any
// failure. Called once by the launch driver.
void readConfigBlock(const std::vector<std::u16string>& argumentList);

// The string value of id ("" when absent).
std::string getConfigString(int32_t id);
// The same, cut to at most bufferSize - 1 bytes (for values read into small buffers).
std::string getConfigString(int32_t id, size_t bufferSize);
// Decimal value of id: leading white space, optional sign, digits; saturates
// at the int32 limits; 0 when absent or without digits.
int32_t getConfigInt(int32_t id);
// A flag is set when getConfigInt gives a non-zero value.
bool getConfigFlag(int32_t id);
// "r,g,b" as r | g << 8 | b << 16 (low 8 bits of each part; empty fields skipped).
uint32_t getConfigColor(int32_t id);
// File offset just past the block (start of the appended files).
uint32_t configEndPosition();
// The wide-string table with the matching language sets applied.
const std::map<int32_t, std::u16string>& wideStringTable();

// Pure conversions used by the lookups, exposed for tests.
int32_t parseConfigInt(const char* text);
uint32_t parseConfigColor(const char* text);

// For unit tests and tools: replace the configuration held in this process.
void setConfigForTesting(const std::map<int32_t, std::string>& strings);
void setConfigValueForTesting(int32_t id, const std::string& value);

#ifdef _WIN32
// The own executable opened for reading (sharing read and write); ends the
// process with the "Error opening media file" text when it cannot be opened.
void* openOwnExecutable();
// Reads 8 bytes from the current position of file; ends the process with
// "Internal Error: readLong" on a short read.
int64_t readInt64(void* file);
#endif
