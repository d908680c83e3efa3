// Locating the launcher stubs beside the builder and telling them apart.
#include "stubs.h"

#include "launcher/config.h"
#include "launcher/config_ids.h"

namespace builder {

const char* stubFileName(StubKind kind) {
    return kind == StubKind::Gui ? "launcher-gui.exe" : "launcher-console.exe";
}

StubKind stubKindForExeType(int32_t exeType) {
    return exeTypeShowsMessageBoxes(exeType) ? StubKind::Gui : StubKind::Console;
}

int32_t exeTypeOf(const BuildInput& input) {
    auto it = input.strings.find(CFG_EXE_TYPE);
    return it == input.strings.end() ? 0 : parseConfigInt(it->second.value.c_str());
}

std::vector<std::string> stubDirectories(const std::string& builderDir) {
    std::string parent = directoryOf(builderDir);
    // ../stubs (release, bin/tovex-build), ../win (host build tree), its own directory (Windows
    // build tree), ../../stubs (release, one builder per system in bin/<os>-<arch>/).
    return {joinPath(parent, "stubs"), joinPath(parent, "win"), builderDir, joinPath(directoryOf(parent), "stubs")};
}

bool findStub(const std::string& builderDir, StubKind kind, std::string& path, std::string& error) {
    if (builderDir.empty()) {
        error = std::string("cannot find ") + stubFileName(kind) +
                ": the builder cannot tell where it is installed; give --stub PATH";
        return false;
    }
    std::string tried;
    for (const std::string& dir : stubDirectories(builderDir)) {
        std::string candidate = joinPath(dir, stubFileName(kind));
        uint64_t size = 0;
        std::string ignored;
        if (fileSize(candidate, size, ignored)) {
            path = candidate;
            return true;
        }
        tried += (tried.empty() ? "" : ", ") + candidate;
    }
    error = std::string("cannot find the stub ") + stubFileName(kind) + " (looked for " + tried + "); give --stub PATH";
    return false;
}

bool resolveStub(const std::string& argument, const BuildInput& input, const std::string& builderDir,
                 std::string& path, std::string& note, std::string& error) {
    note.clear();
    if (!argument.empty() && argument != "gui" && argument != "console") {
        path = argument;
        return true;
    }
    StubKind kind;
    std::string why;
    if (argument.empty()) {
        int32_t exeType = exeTypeOf(input);
        kind = stubKindForExeType(exeType);
        why = " (EXE_TYPE " + std::to_string(exeType) + ")";
    } else {
        kind = argument == "gui" ? StubKind::Gui : StubKind::Console;
        why = " (--stub " + argument + ")";
    }
    if (!findStub(builderDir, kind, path, error)) return false;
    note = "tovex-build: stub " + path + why + "\n";
    return true;
}

bool peSubsystem(const std::string& image, int& subsystem, std::string& error) {
    uint64_t start = 0;
    pe::PeHeaders headers;
    if (!findBlockStart(image, start, error) || !readPe32PlusHeaders(image, headers, error)) return false;
    const uint64_t field = headers.optionalOffset + pe::kSubsystemField;
    if (headers.coff.optionalSize < pe::kSubsystemField + 2 || image.size() < field + 2) {
        error = "the optional header is cut off";
        return false;
    }
    subsystem = static_cast<int>(pe::readLe(image, field, 2));
    return true;
}

}  // namespace builder
