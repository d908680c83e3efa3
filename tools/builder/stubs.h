// Which launcher stub a build starts from, and where the builder finds the stubs.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "builder.h"

namespace builder {

enum class StubKind { Gui, Console };

// "launcher-gui.exe" or "launcher-console.exe".
const char* stubFileName(StubKind kind);
// The GUI stub for the executable types whose errors are shown in message boxes
// (1 and 5), the console stub for every other type.
StubKind stubKindForExeType(int32_t exeType);
// The executable type that the launcher will read from the input (0 when absent).
int32_t exeTypeOf(const BuildInput& input);
// The directories searched for a stub by a builder that sits in builderDir, in
// order: ../stubs (the release layout), ../win (the host build tree beside the
// Windows build) and builderDir itself (the Windows build tree).
std::vector<std::string> stubDirectories(const std::string& builderDir);
// The first stub of that kind in stubDirectories; error names the places looked at.
bool findStub(const std::string& builderDir, StubKind kind, std::string& path, std::string& error);
// The stub of a --stub argument: "gui" and "console" are looked up, anything else
// is a path; an empty argument takes the stub that fits the executable type.
// note gets the line that says which stub was looked up ("" for a path given).
bool resolveStub(const std::string& argument, const BuildInput& input, const std::string& builderDir,
                 std::string& path, std::string& note, std::string& error);
// The Windows subsystem of a PE32+ image: 2 for a GUI program, 3 for a console program.
bool peSubsystem(const std::string& image, int& subsystem, std::string& error);
constexpr int kSubsystemGui = 2;
constexpr int kSubsystemConsole = 3;

}  // namespace builder
