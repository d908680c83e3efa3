// The [resources] section of a configuration file: icon, splash image,
// version information and manifest, turned into the resource changes of a build.
#pragma once
#include <string>
#include <vector>

#include "builder.h"
#include "pe_resources.h"

namespace builder {

// Largest splash image side accepted (larger than any screen).
constexpr int kMaxSplashSide = 8192;

// Checks one line of the [resources] section (name as written, value text
// already decoded) and records it; baseDir is the configuration's directory.
// Errors have no location; the caller adds "FILE:LINE: ".
bool parseResourceLine(const std::string& name, const std::vector<TextUnit>& units, const std::string& origin,
                       const std::string& baseDir, ResourceInput& input, std::string& error);
// The keys of the [resources] section.
std::vector<std::string> resourceKeyNames();
// After the section is read: reads and checks MANIFEST and decides the
// narrow text encoding (UTF-8 when the manifest asks for that code page).
bool finishResourceInput(ResourceInput& input, std::string& error);

// A splash image larger than this either way is larger than a usual screen: the
// build and --check warn about it.
constexpr int kSplashWarnWidth = 1920;
constexpr int kSplashWarnHeight = 1200;

// The resource changes of a build. outputName is the output's file name
// (the default ORIGINAL_FILENAME). splashWidth/Height get the splash image's
// size (0 without SPLASH_IMAGE). Errors begin with the line's "FILE:LINE: ".
bool prepareResources(const ResourceInput& input, const std::string& outputName, ResourceSet& set, int& splashWidth,
                      int& splashHeight, std::string& error);

// ---- The pieces, pure and tested on their own ------------------------------------

// 1 to 4 dot-separated decimal numbers, each 0..65535; the missing ones are 0.
bool parseVersionNumbers(const std::string& text, uint16_t parts[4], std::string& error);
// The images of an .ico file, or of a single PNG (stored as a PNG icon).
bool readIconFile(const Bytes& file, std::vector<IconImage>& images, std::string& error);
// A 24-bit bottom-up DIB (BITMAPINFOHEADER and rows) of RGBA pixels, with
// transparency blended onto the splash grey.
Bytes splashBitmap(int width, int height, const std::vector<unsigned char>& rgba);
// The splash bitmap of an image file (PNG, JPEG, GIF or BMP): its size is read from
// the header and checked (1 to kMaxSplashSide each way) before anything is decoded.
bool splashBitmapOf(const Bytes& file, Bytes& bitmap, int& width, int& height, std::string& error);
// VS_VERSIONINFO with language 0409 and code page 1200.
struct VersionStrings {
    uint16_t fileVersion[4] = {0, 0, 0, 0};
    uint16_t productVersion[4] = {0, 0, 0, 0};
    std::vector<std::pair<std::u16string, std::u16string>> strings;  // key, value in this order
};
Bytes versionResource(const VersionStrings& version);
// The generated manifest.
struct ManifestOptions {
    std::string executionLevel = "asInvoker";
    std::string dpiAwareness = "PerMonitorV2";
    bool longPaths = false;
    bool utf8CodePage = false;
};
std::string generateManifest(const ManifestOptions& options);
// Well-formed XML whose root element is assembly; the message names line and column.
bool checkManifestXml(const std::string& xml, std::string& error);
// The manifest selects the UTF-8 code page (activeCodePage UTF-8).
bool manifestSelectsUtf8(const std::string& xml);

// Image decoding (image_decode.cpp): the size without decoding (a BMP too short for
// its pixel rows is refused as cut off), and RGBA pixels.
bool imageSize(const Bytes& file, int& width, int& height, std::string& error);
bool decodeImage(const Bytes& file, int& width, int& height, std::vector<unsigned char>& rgba, std::string& error);

}  // namespace builder
