// A runtime shipped with pack200-compressed jars is unpacked in place before it is checked.
#pragma once
#include <string>

void unpackRuntime(const std::string& runtimeDirectory);
void unpackJar(const std::string& runtimeDirectory, const std::string& packedPath);
