// Helpers of the builder tests: a minimal PE32+ image and a scratch directory.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "builder.h"
#include "cli.h"

namespace testutil {

inline void put(std::string& image, size_t pos, uint64_t value, int width) {
    if (image.size() < pos + width) image.resize(pos + width, '\0');
    for (int i = 0; i < width; ++i) image[pos + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A PE32+ image with the given sections (raw offset, raw size), each filled
// with 0xAB; the section table follows a 240-byte optional header.
inline std::string fakePe(const std::vector<std::pair<uint32_t, uint32_t>>& sections = {{0x200, 0x200}},
                          uint16_t optionalMagic = 0x20B) {
    std::string image(0x200, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    const size_t pe = 0x80;
    put(image, 0x3C, pe, 4);
    image.replace(pe, 4, std::string("PE\0\0", 4));
    put(image, pe + 4, 0x8664, 2);
    put(image, pe + 6, sections.size(), 2);
    put(image, pe + 20, 240, 2);
    put(image, pe + 24, optionalMagic, 2);
    size_t table = pe + 24 + 240;
    for (size_t i = 0; i < sections.size(); ++i) {
        size_t entry = table + 40 * i;
        image.replace(entry, 6, ".sect" + std::to_string(i));
        put(image, entry + 16, sections[i].second, 4);
        put(image, entry + 20, sections[i].first, 4);
    }
    for (const auto& s : sections) {
        if (image.size() < s.first + s.second) image.resize(s.first + s.second, '\0');
        for (uint32_t k = 0; k < s.second; ++k) image[s.first + k] = static_cast<char>(0xAB);
    }
    return image;
}

// A zip archive of empty stored entries with these names (a jar as far as its
// central directory goes), with an optional archive comment.
inline std::string zipArchive(const std::vector<std::string>& names, const std::string& comment = "") {
    std::string data, directory;
    for (const std::string& name : names) {
        std::string local(30, '\0');
        put(local, 0, 0x04034b50, 4);
        put(local, 4, 20, 2);
        put(local, 26, name.size(), 2);
        std::string entry(46, '\0');
        put(entry, 0, 0x02014b50, 4);
        put(entry, 4, 20, 2);
        put(entry, 6, 20, 2);
        put(entry, 28, name.size(), 2);
        put(entry, 42, data.size(), 4);
        data += local.substr(0, 30) + name;
        directory += entry.substr(0, 46) + name;
    }
    std::string end(22, '\0');
    put(end, 0, 0x06054b50, 4);
    put(end, 8, names.size(), 2);
    put(end, 10, names.size(), 2);
    put(end, 12, directory.size(), 4);
    put(end, 16, data.size(), 4);
    put(end, 20, comment.size(), 2);
    return data + directory + end.substr(0, 22) + comment;
}

inline std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s += static_cast<char>(b);
    return s;
}

// A fresh directory under the test's temporary directory, removed afterwards.
class ScratchDir {
public:
    ScratchDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/tovex-build-test-XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        path_ = mkdtemp(buf.data());
    }
    ~ScratchDir() {
        std::string cmd = "rm -rf '" + path_ + "'";
        (void)std::system(cmd.c_str());
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::string write(const std::string& name, const std::string& content) const {
        std::string error;
        EXPECT_TRUE(builder::writeWholeFile(file(name), content, error)) << error;
        return file(name);
    }
    std::string read(const std::string& name) const {
        std::string data, error;
        EXPECT_TRUE(builder::readWholeFile(file(name), data, error)) << error;
        return data;
    }
    bool exists(const std::string& name) const {
        std::string data, error;
        return builder::readWholeFile(file(name), data, error);
    }
    std::vector<std::string> list() const;

private:
    std::string path_;
};

struct CliResult {
    int code;
    std::string out;
    std::string err;
};

inline CliResult runCli(const std::vector<std::string>& args) {
    CliResult r;
    r.code = builder::runCli(args, r.out, r.err);
    return r;
}

}  // namespace testutil
