// tovex-build: writes a launcher executable from a launcher stub, a
// configuration file and optional appended files, and reads a block back.
// Every function reports failure through its result and an error text; no
// exceptions are thrown.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "launcher/block_format.h"  // the layout the launcher reads: magic, trailer, XOR byte, limits
#include "pe_resources.h"

namespace builder {

constexpr size_t kNarrowLimit = 8191;  // the launcher reads strings into 8192-byte buffers
constexpr size_t kFontNameLimit = 31;
constexpr size_t kVmTypeLimit = 199;

// ---- Text conversions -------------------------------------------------------

// One decoded piece of a configuration value.
struct TextUnit {
    enum Kind { CodePoint, RawByte, CodeUnit } kind;
    uint32_t value;
};

// Strict UTF-8 decoding (no overlong forms, surrogates or values above U+10FFFF).
bool decodeUtf8(const std::string& text, std::vector<uint32_t>& codePoints);
void appendUtf8(std::string& out, uint32_t codePoint);
// Windows-1252. The five bytes without a character (81 8D 8F 90 9D) map to the
// C1 controls of the same value, as Windows converts them.
uint32_t cp1252ToUnicode(unsigned char byte);
bool unicodeToCp1252(uint32_t codePoint, unsigned char& byte);

// Narrow block text: code points become Windows-1252 bytes, raw bytes stay as
// they are. Fails on a character that Windows-1252 cannot hold; badChar gets it.
bool unitsToNarrow(const std::vector<TextUnit>& units, std::string& out, uint32_t& badChar);
// Wide block text: code points become UTF-16, raw bytes U+00HH, code units as they are.
std::u16string unitsToWide(const std::vector<TextUnit>& units);

// ---- The configuration block --------------------------------------------------

struct WideEntry {
    int32_t id;
    std::u16string value;
};
struct LanguageSet {
    std::string key;  // narrow block text
    std::vector<WideEntry> entries;
};
struct StringEntry {
    int32_t id;
    std::string value;  // narrow block text (Windows-1252 bytes)
};
struct BlockData {
    uint32_t reserved1 = 0;
    uint32_t reserved2 = 0;
    uint64_t reserved64 = 0;  // only filled by decodeBlock; encodeBlock computes it
    uint32_t oddWideLengths = 0;  // only filled by decodeBlock: wide strings whose odd last byte it dropped
    std::vector<StringEntry> strings;
    std::vector<WideEntry> wides;
    std::vector<LanguageSet> sets;
};

// The block bytes: magic, reserved words, the 64-bit count of bytes from
// offset 12 to the end, then the entries in the order given.
std::string encodeBlock(const BlockData& block);
// Reads a block that starts at offset start of image; end gets the offset
// just past it. Counts of 0 or less mean no entries, as for the launcher.
bool decodeBlock(const std::string& image, uint64_t start, BlockData& block, uint64_t& end, std::string& error);

// The trailer written after a block without appended files.
std::string blockTrailer(uint64_t blockEnd);

// ---- PE images -------------------------------------------------------------------

// Checks the PE32+ headers and gives the end of the raw data of the last entry
// of the section table (where the launcher looks for its block).
bool findBlockStart(const std::string& image, uint64_t& start, std::string& error);

// ---- Configuration input ---------------------------------------------------------

struct Setting {
    std::string value;   // narrow block text
    std::string origin;  // "FILE:LINE" or "--set NAME=..." for messages
};
struct WideSetting {
    std::u16string value;
    std::string origin;
};
struct LanguageSetInput {
    std::string key;
    std::string origin;
    std::map<int32_t, WideSetting> entries;
};
struct AppendedFile {
    std::string name;  // stored name, backslash separated, Windows-1252 bytes
    std::string path;  // host path of the content
    std::string origin;
};
// Lines of the [resources] section by key (ICON, SPLASH_IMAGE, FILE_VERSION, ...).
struct ResourceLine {
    std::string value;     // UTF-8 text; paths made absolute against the configuration's directory
    std::u16string wide;   // the same text as UTF-16 (version strings)
    std::string origin;
};
struct ResourceInput {
    std::map<std::string, ResourceLine> lines;
    bool utf8 = false;         // narrow block text as UTF-8: the manifest selects the UTF-8 code page
    bool stubUtf8 = false;     // the stub's own manifest selects it: the default when no key decides
    std::string manifestText;  // the content of MANIFEST, read and checked while parsing
};
// A warning of the parse or the build: the build prints it, --check reports it.
struct InputWarning {
    std::string origin;
    std::string text;
};
struct BuildInput {
    std::map<int32_t, Setting> strings;
    std::vector<InputWarning> warnings;
    ResourceInput resources;
    std::map<int32_t, WideSetting> wides;
    std::vector<LanguageSetInput> sets;
    std::vector<AppendedFile> files;
};

// Parses the text of a configuration file. fileName is used in messages
// ("FILE:LINE: message"); baseDir is the directory that relative paths of the
// [files] section refer to. Settings replace earlier ones of the same id.
bool parseConfigText(const std::string& text, const std::string& fileName, const std::string& baseDir,
                     BuildInput& input, std::string& error);
// --set NAME=VALUE: the value is taken literally (no trimming, no escapes).
bool applySetArgument(const std::string& argument, BuildInput& input, std::string& error);
// --file NAME=PATH: PATH as given (relative to the current directory).
bool applyFileArgument(const std::string& argument, BuildInput& input, std::string& error);

// The known name nearest to name (ASCII case ignored, a "CFG_" prefix dropped, at most
// two letters different, missing, extra or swapped); "" when none is near enough.
std::string closestName(const std::string& name, const std::vector<std::string>& known);
// The text of a configuration file as UTF-8: UTF-16 (with a byte-order mark, or
// recognised by its NUL bytes) converted, other text as it is. Fails with a message
// that names the encoding when the text cannot be converted.
bool configFileText(const std::string& raw, std::string& text, std::string& error);
// Resolves NAME, CFG_NAME or a decimal id. Fails with a message for an unknown name.
bool resolveSettingName(const std::string& name, int32_t& id, std::string& error);
// Checks a narrow value against the form of its id; numeric ids without a
// known name are not checked. Gives a message without location.
bool checkSettingValue(int32_t id, const std::string& value, std::string& error);
// Checks and normalises the stored name of an appended file ("/" becomes "\").
bool checkAppendedName(const std::string& nameUtf8, std::string& stored, std::string& error);

// The block data of a finished input: the defaults for absent ids added,
// FILE_COUNT and FILE_LIST set from the appended files, entries in ascending id.
bool finishBlock(const BuildInput& input, BlockData& block, std::string& error);
// The default value written for an absent id, or nullptr.
const char* defaultValue(int32_t id);

// ---- Whole operations --------------------------------------------------------------

// Writes out = stub up to its block start, the block, then either the appended
// files (length, content XOR kScrambleByte) or the trailer and padding. Nothing is
// left at out when it fails.
// resources: the changes of the stub's resources and headers (see pe_resources.h);
// the CheckSum is always computed over the whole file.
bool buildExecutable(const std::string& stubPath, const BlockData& block, const std::vector<AppendedFile>& files,
                     const std::string& outPath, std::string& error, const ResourceSet& resources = ResourceSet());
// The resource changes of the [resources] section, SPLASH_WIDTH/HEIGHT from
// the splash image when absent, and the TimeDateStamp from SOURCE_DATE_EPOCH
// (nullptr when unset).
bool prepareResourceChanges(BuildInput& input, const std::string& outPath, const char* sourceDateEpoch,
                            ResourceSet& set, std::string& error);

// What the command line asks of a build.
struct BuildRequest {
    std::string stub;        // --stub: gui, console, a path, or empty (chosen by EXE_TYPE)
    std::string config;      // --config; empty: none
    std::string output;      // --out
    std::vector<std::pair<bool, std::string>> overrides;  // (is --file, argument) in command-line order
    std::string builderDir;  // the running builder's directory, where stubs are looked for
};
// The whole build of the command line: reads the configuration and the arguments,
// chooses the stub, writes the executable. Warnings and the stub's note are appended
// to messages as the builder prints them; error gets the message of a failure.
bool buildFromRequest(const BuildRequest& request, std::string& messages, std::string& error);

// The block of an executable in configuration-file form. With extractDir
// non-empty, the appended files are written there and listed in [files].
bool dumpExecutable(const std::string& exePath, const std::string& extractDir, std::string& text,
                    std::string& error);
// The configuration-file text of a block. files: names and host paths for a
// [files] section (FILE_COUNT and FILE_LIST then come from it); with
// filesNotExtracted, FILE_COUNT and FILE_LIST are written as comments. utf8: the
// narrow strings are UTF-8, and with codePageKey "UTF8_CODE_PAGE = 1" is written;
// ansiKey writes "UTF8_CODE_PAGE = 0" (a manifest that does not select UTF-8).
std::string dumpBlock(const BlockData& block, const std::vector<AppendedFile>& files, bool filesNotExtracted = false,
                      bool utf8 = false, bool codePageKey = true, bool ansiKey = false);

// Value formatting used by the dump: plain when it reads back unchanged, else
// quoted with escapes.
// utf8: the value is UTF-8 text (the manifest selects the UTF-8 code page).
std::string formatNarrowValue(const std::string& value, bool utf8 = false);
std::string formatWideValue(const std::u16string& value);

// ---- Files (host and Windows implementations) ------------------------------------------

bool readWholeFile(const std::string& path, std::string& data, std::string& error);
// Output written to a fresh temporary file beside the target, renamed at commit.
struct OutputFile {
    void* handle = nullptr;
    std::string tempPath;
    std::string finalPath;
};
bool openOutput(const std::string& path, OutputFile& out, std::string& error);
bool writeOutput(OutputFile& out, const void* data, size_t size, std::string& error);
// Overwrites bytes already written at offset; later writes go on at the end.
bool writeOutputAt(OutputFile& out, uint64_t offset, const void* data, size_t size, std::string& error);
bool commitOutput(OutputFile& out, std::string& error);
void discardOutput(OutputFile& out);
// Streams a file in chunks; the callback gets each chunk.
struct ChunkSink {
    virtual bool chunk(const char* data, size_t size, std::string& error) = 0;
    virtual ~ChunkSink() = default;
};
bool fileSize(const std::string& path, uint64_t& size, std::string& error);
bool streamFile(const std::string& path, ChunkSink& sink, std::string& error);
// The whole of data through openOutput and commitOutput: path is replaced only when all is written.
bool writeWholeFile(const std::string& path, const std::string& data, std::string& error);
bool makeDirectory(const std::string& path, std::string& error);  // an existing one is fine
std::string joinPath(const std::string& dir, const std::string& name);
std::string directoryOf(const std::string& path);
bool isAbsolutePath(const std::string& path);
std::string absolutePath(const std::string& path);
// The running builder's own executable (absolute); empty when the system does not tell.
std::string ownExecutablePath();
// What a relative Windows path (separated by backslashes) names under the host
// directory base, looked up as Windows does, ignoring the case of ASCII letters:
// 0 nothing, 1 a file, 2 a directory.
int windowsPathKind(const std::string& base, const std::string& relative);
// The same lookup, giving also the host path of what it found (hostPath untouched when 0).
int resolveWindowsPath(const std::string& base, const std::string& relative, std::string& hostPath);
// The names in a host directory ("." and ".." left out), sorted; empty when it cannot be read.
std::vector<std::string> directoryNames(const std::string& directory);

}  // namespace builder
