// The resource-section writer and the [resources] section: round trips in
// every section layout, a stub whose tree is in an unusual order, bad input
// refused with its line and nothing written, version numbers, manifests and
// the UTF-8 code page.
#include <malloc.h>

#include <map>

#include "resources.h"
#include "test_util.h"

using builder::Bytes;
using builder::ResourceName;
using testutil::put;
using testutil::runCli;
using testutil::ScratchDir;

namespace {

uint32_t le(const std::string& d, size_t pos, int width) {
    uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(d[pos + i]);
    return v;
}

struct RawEntry {
    ResourceName type, name;
    uint16_t language;
    Bytes data;
};

// A resource tree written the other way round from the builder: the data
// first, then the directories with their entries in the order given (ids
// before names, unsorted), the strings last.
Bytes unusualTree(const std::vector<RawEntry>& entries, uint32_t base) {
    Bytes out;
    std::vector<uint32_t> dataRva;
    for (const RawEntry& e : entries) {
        dataRva.push_back(base + static_cast<uint32_t>(out.size()));
        out += e.data;
        while (out.size() % 4) out += '\x00';
    }
    // One type directory per distinct type, one name directory per (type, name), in first-seen order.
    std::vector<ResourceName> types;
    std::vector<std::vector<std::pair<ResourceName, std::vector<size_t>>>> names;
    for (size_t i = 0; i < entries.size(); ++i) {
        size_t t = 0;
        while (t < types.size() && types[t] != entries[i].type) ++t;
        if (t == types.size()) {
            types.push_back(entries[i].type);
            names.emplace_back();
        }
        size_t n = 0;
        while (n < names[t].size() && names[t][n].first != entries[i].name) ++n;
        if (n == names[t].size()) names[t].push_back({entries[i].name, {}});
        names[t][n].second.push_back(i);
    }
    size_t rootAt = out.size();
    size_t cursor = rootAt + 16 + 8 * types.size();
    std::vector<size_t> typeDirs, nameDirs, leafAt(entries.size());
    for (size_t t = 0; t < types.size(); ++t) {
        typeDirs.push_back(cursor);
        cursor += 16 + 8 * names[t].size();
    }
    for (size_t t = 0; t < types.size(); ++t)
        for (auto& n : names[t]) {
            nameDirs.push_back(cursor);
            cursor += 16 + 8 * n.second.size();
        }
    for (size_t i = 0; i < entries.size(); ++i) {
        leafAt[i] = cursor;
        cursor += 16;
    }
    size_t stringsAt = cursor;
    out.resize(stringsAt, '\0');
    // Offsets in the tree are relative to its root, which is not at offset 0 here: the
    // resource directory RVA is base + rootAt.
    auto rel = [&](size_t at) { return static_cast<uint32_t>(at - rootAt); };
    auto nameField = [&](const ResourceName& n) -> uint32_t {
        if (n.isNumber) return n.number;
        uint32_t at = rel(out.size());
        Bytes s;
        s += static_cast<char>(n.text.size() & 0xFF);
        s += static_cast<char>(n.text.size() >> 8);
        for (char16_t c : n.text) {
            s += static_cast<char>(c & 0xFF);
            s += static_cast<char>(c >> 8);
        }
        out += s;
        return 0x80000000u | at;
    };
    auto header = [&](size_t at, size_t named, size_t ids) {
        put(out, at + 12, named, 2);
        put(out, at + 14, ids, 2);
    };
    auto countNamed = [](const std::vector<ResourceName>& list) {
        size_t named = 0;
        for (const ResourceName& n : list) named += n.isNumber ? 0 : 1;
        return named;
    };
    header(rootAt, countNamed(types), types.size() - countNamed(types));
    size_t nameDir = 0;
    for (size_t t = 0; t < types.size(); ++t) {
        put(out, rootAt + 16 + 8 * t, nameField(types[t]), 4);
        put(out, rootAt + 16 + 8 * t + 4, 0x80000000u | rel(typeDirs[t]), 4);
        std::vector<ResourceName> ns;
        for (auto& n : names[t]) ns.push_back(n.first);
        header(typeDirs[t], countNamed(ns), ns.size() - countNamed(ns));
        for (size_t n = 0; n < names[t].size(); ++n, ++nameDir) {
            put(out, typeDirs[t] + 16 + 8 * n, nameField(names[t][n].first), 4);
            put(out, typeDirs[t] + 16 + 8 * n + 4, 0x80000000u | rel(nameDirs[nameDir]), 4);
            header(nameDirs[nameDir], 0, names[t][n].second.size());
            for (size_t k = 0; k < names[t][n].second.size(); ++k) {
                size_t i = names[t][n].second[k];
                put(out, nameDirs[nameDir] + 16 + 8 * k, entries[i].language, 4);
                put(out, nameDirs[nameDir] + 16 + 8 * k + 4, rel(leafAt[i]), 4);
                put(out, leafAt[i], dataRva[i], 4);
                put(out, leafAt[i] + 4, entries[i].data.size(), 4);
            }
        }
    }
    return out;
}

// A PE32+ image like a linker's: headers 0x400, file alignment 0x200, section
// alignment 0x1000, sections in this order: "text", "rsrc", "reloc"
// (the resource directory at rootOffset inside the "rsrc" section).
struct StubSection {
    std::string name;
    Bytes data;
    uint32_t rootOffset = 0;
    uint32_t virtualSize = 0;  // 0: the data's size
};
Bytes makeStub(const std::vector<StubSection>& sections) {
    Bytes image(0x400, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    const size_t pe = 0x80, opt = pe + 24, table = opt + 240;
    put(image, 0x3C, pe, 4);
    image.replace(pe, 4, std::string("PE\0\0", 4));
    put(image, pe + 4, 0x8664, 2);
    put(image, pe + 6, sections.size(), 2);
    put(image, pe + 8, 0x12345678, 4);
    put(image, pe + 20, 240, 2);
    put(image, opt, 0x20B, 2);
    put(image, opt + 32, 0x1000, 4);
    put(image, opt + 36, 0x200, 4);
    put(image, opt + 60, 0x400, 4);
    put(image, opt + 64, 0xDEADBEEF, 4);  // a stale CheckSum
    put(image, opt + 108, 16, 4);
    uint32_t va = 0x1000;
    for (size_t i = 0; i < sections.size(); ++i) {
        const StubSection& s = sections[i];
        size_t e = table + 40 * i;
        image.replace(e, s.name.size(), s.name);
        uint32_t raw = static_cast<uint32_t>((s.data.size() + 0x1FF) / 0x200 * 0x200);
        uint32_t virtualSize = s.virtualSize ? s.virtualSize : static_cast<uint32_t>(s.data.size());
        put(image, e + 8, virtualSize, 4);
        put(image, e + 12, va, 4);
        put(image, e + 16, raw, 4);
        put(image, e + 20, image.size(), 4);
        put(image, e + 36, 0x40000040, 4);
        if (s.name == ".rsrc") {
            put(image, opt + 112 + 8 * 2, va + s.rootOffset, 4);
            put(image, opt + 112 + 8 * 2 + 4, s.data.size() - s.rootOffset, 4);
        }
        if (s.name == ".reloc") {
            put(image, opt + 112 + 8 * 5, va, 4);
            put(image, opt + 112 + 8 * 5 + 4, virtualSize, 4);
        }
        Bytes data = s.data;
        data.resize(raw, '\0');
        image += data;
        va += (virtualSize + 0xFFF) / 0x1000 * 0x1000;
    }
    put(image, opt + 56, va, 4);
    put(image, opt + 112 + 8 * 4, image.size(), 4);  // a certificate table after the sections
    put(image, opt + 112 + 8 * 4 + 4, 16, 4);
    image += std::string(16, 'S');
    return image;
}

Bytes group(std::initializer_list<uint16_t> ids) {
    Bytes g = testutil::bytes({0, 0, 1, 0});
    g += static_cast<char>(ids.size());
    g += '\0';
    for (uint16_t id : ids) {
        Bytes e(14, '\0');
        put(e, 0, 32, 1);
        put(e, 1, 32, 1);
        put(e, 4, 1, 2);
        put(e, 6, 32, 2);
        put(e, 12, id, 2);
        g += e;
    }
    return g;
}

// The stub's own resources, in an unusual order.
std::vector<RawEntry> stubEntries() {
    return {
        {ResourceName::id(24), ResourceName::id(1), 0x409, "<assembly/>"},
        {ResourceName::id(5), ResourceName::id(101), 0x409, "dialog template"},
        {ResourceName::id(3), ResourceName::id(2), 0x409, "old icon two"},
        {ResourceName::id(3), ResourceName::id(1), 0x409, "old icon one"},
        {ResourceName::id(14), ResourceName::id(1001), 0x409, group({1})},
        {ResourceName::id(14), ResourceName::named(u"ID_SPLASH_ICON"), 0x409, group({2})},
        {ResourceName::id(2), ResourceName::id(10000), 0x407, "old bitmap, German"},
        {ResourceName::id(2), ResourceName::id(10000), 0x409, "old bitmap"},
        {ResourceName::named(u"LOGO"), ResourceName::named(u"MAIN"), 0, "kept as it is"},
        {ResourceName::id(10), ResourceName::id(10000), 0x409, "old png"},
    };
}

builder::ResourceSet everyKind() {
    builder::ResourceSet set;
    builder::IconImage small, large;
    small.width = small.height = 16;
    small.data = "sixteen";
    large.width = large.height = 32;
    large.data = "thirty-two pixels";
    set.icons = {small, large};
    set.iconGroups = {ResourceName::id(1001), ResourceName::named(u"ID_SPLASH_ICON")};
    auto entry = [](uint16_t type, uint16_t name, const Bytes& data) {
        builder::ResourceEntry e;
        e.type = ResourceName::id(type);
        e.name = ResourceName::id(name);
        e.data = data;
        return e;
    };
    set.replace = {entry(2, 10000, "new bitmap"), entry(10, 10000, "new png bytes"), entry(16, 1, "version"),
                   entry(24, 1, "<assembly>new</assembly>")};
    return set;
}

std::map<std::string, Bytes> byKey(const builder::ResourceTree& tree) {
    std::map<std::string, Bytes> m;
    for (const auto& e : tree.entries) m[e.type.show() + "/" + e.name.show() + "/" + std::to_string(e.language)] = e.data;
    return m;
}

TEST(ResourceWriter, EveryTypeRoundTripsInEverySectionLayout) {
    const Bytes text(0x300, '\xAB'), relocs(0x20, '\xCD');
    const Bytes tree = unusualTree(stubEntries(), 0x2000);
    // The tree's root lies after its data.
    size_t dataSize = 0;
    for (const RawEntry& e : stubEntries()) dataSize += (e.data.size() + 3) / 4 * 4;
    struct Layout {
        const char* what;
        std::vector<StubSection> sections;
    } layouts[] = {
        {"resources last", {{".text", text}, {".rsrc", tree, static_cast<uint32_t>(dataSize)}}},
        {"resources before relocations", {{".text", text}, {".rsrc", tree, static_cast<uint32_t>(dataSize)}, {".reloc", relocs}}},
        {"no resources", {{".text", text}, {".reloc", relocs}}},
        // The loader maps a section's virtual size; raw data beyond it takes no addresses.
        {"relocations with raw data beyond their size",
         {{".text", text}, {".rsrc", tree, static_cast<uint32_t>(dataSize)}, {".reloc", Bytes(0x1300, '\xCD'), 0, 0x20}}},
    };
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.what);
        const Bytes stub = makeStub(layout.sections);
        const bool hadTree = layout.sections[1].name == ".rsrc";
        const bool relocAfter = layout.sections.back().name == ".reloc";
        Bytes out;
        std::string error;
        ASSERT_TRUE(builder::writeResources(stub, everyKind(), out, error)) << error;

        builder::PeInfo pe;
        ASSERT_TRUE(builder::parsePe(out, pe, error)) << error;
        const builder::PeSection& last = pe.sections.back();
        EXPECT_EQ(std::string(last.name, 5), ".rsrc");
        EXPECT_EQ(out.size(), static_cast<size_t>(last.rawOffset) + last.rawSize) << "the last entry ends the image";
        EXPECT_EQ(pe.directoryRva(2), last.virtualAddress);
        EXPECT_EQ(pe.directoryRva(4), 0u) << "certificate table dropped";
        EXPECT_EQ(le(out, pe.optionalOffset + 64, 4), 0u) << "CheckSum left to the caller";
        EXPECT_EQ(le(out, pe.optionalOffset + 56, 4), (last.virtualAddress + last.virtualSize + 0xFFF) / 0x1000 * 0x1000);
        EXPECT_EQ(le(out, pe.peOffset + 8, 4), 0x12345678u) << "the stub's TimeDateStamp";
        EXPECT_EQ(out.substr(0x400, text.size()), text) << "code stays in place";
        for (size_t i = 1; i < pe.sections.size(); ++i) {
            const builder::PeSection& before = pe.sections[i - 1];
            EXPECT_EQ(pe.sections[i].virtualAddress,
                      before.virtualAddress + ((before.virtualSize ? before.virtualSize : before.rawSize) + 0xFFF) / 0x1000 * 0x1000);
        }
        if (relocAfter) {
            const builder::PeSection& reloc = pe.sections[pe.sections.size() - 2];
            EXPECT_EQ(std::string(reloc.name, 6), ".reloc");
            EXPECT_EQ(out.substr(reloc.rawOffset, 0x20), relocs) << "following section moved in the file only";
            EXPECT_EQ(pe.directoryRva(5), reloc.virtualAddress);
        }
        if (hadTree && relocAfter) {
            EXPECT_EQ(std::string(pe.sections[1].name, 8), ".oldrsrc");
            EXPECT_EQ(pe.sections[1].rawSize, 0u);
            EXPECT_EQ(pe.sections[1].virtualAddress, 0x2000u) << "its address range stays";
        }
        EXPECT_EQ(pe.sections.size(), layout.sections.size() + (hadTree && !relocAfter ? 0 : 1));

        builder::ResourceTree written;
        ASSERT_TRUE(builder::readResources(out, written, error)) << error;
        auto m = byKey(written);
        EXPECT_EQ(m["2/10000/1033"], "new bitmap");
        EXPECT_EQ(m.count("2/10000/1031"), 0u) << "every language of a replaced entry goes";
        EXPECT_EQ(m["10/10000/1033"], "new png bytes");
        EXPECT_EQ(m["16/1/1033"], "version");
        EXPECT_EQ(m["24/1/1033"], "<assembly>new</assembly>");
        if (hadTree) {
            EXPECT_EQ(m["5/101/1033"], "dialog template");
            EXPECT_EQ(m["\"LOGO\"/\"MAIN\"/0"], "kept as it is");
        }
        // Both groups list the two new images, which replaced the old ones.
        EXPECT_EQ(m["14/1001/1033"], m["14/\"ID_SPLASH_ICON\"/1033"]);
        Bytes g = m["14/1001/1033"];
        ASSERT_EQ(g.size(), 6u + 2 * 14);
        EXPECT_EQ(le(g, 4, 2), 2u);
        EXPECT_EQ(m["3/" + std::to_string(le(g, 6 + 12, 2)) + "/1033"], "sixteen");
        EXPECT_EQ(m["3/" + std::to_string(le(g, 20 + 12, 2)) + "/1033"], "thirty-two pixels");
        EXPECT_EQ(le(g, 6, 1), 16u);
        EXPECT_EQ(le(g, 6 + 8, 4), 7u) << "bytes in resource";
        size_t icons = 0;
        for (const auto& kv : m) icons += kv.first.compare(0, 2, "3/") == 0;
        EXPECT_EQ(icons, 2u) << "the old images are gone";

        // The root directory is sorted: named types first, then ids ascending.
        uint64_t rootAt = last.rawOffset;
        uint32_t named = le(out, rootAt + 12, 2), ids = le(out, rootAt + 14, 2);
        uint32_t previous = 0;
        for (uint32_t k = 0; k < named + ids; ++k) {
            uint32_t field = le(out, rootAt + 16 + 8 * k, 4);
            EXPECT_EQ((field & 0x80000000u) != 0, k < named);
            if (k >= named) {
                EXPECT_GT(field, previous);
                previous = field;
            }
        }

        // Writing the written image again changes nothing.
        Bytes again;
        ASSERT_TRUE(builder::writeResources(out, everyKind(), again, error)) << error;
        EXPECT_EQ(again, out);
    }
}

TEST(ResourceWriter, CrookedTreesAreRefused) {
    Bytes tree = unusualTree(stubEntries(), 0x2000);
    size_t dataSize = 0;
    for (const RawEntry& e : stubEntries()) dataSize += (e.data.size() + 3) / 4 * 4;
    Bytes good = makeStub({{".text", Bytes(0x10, 'x')}, {".rsrc", tree, static_cast<uint32_t>(dataSize)}});
    const size_t rootAt = 0x600 + dataSize;
    Bytes loop = good, outside = good, dataOut = good;
    put(loop, rootAt + 16 + 4, 0x80000000u, 4);   // the first type points back at the root
    put(outside, rootAt + 16 + 4, 0x80100000u, 4);  // far outside the section
    // The first leaf's data RVA far outside the image.
    builder::PeInfo pe;
    std::string error;
    ASSERT_TRUE(builder::parsePe(good, pe, error));
    size_t firstLeaf = 0;  // the data entry of the first resource, found by its RVA and size
    for (size_t at = rootAt; at + 8 <= 0x600 + tree.size(); at += 4)
        if (le(good, at, 4) == 0x2000u && le(good, at + 4, 4) == stubEntries()[0].data.size()) {
            firstLeaf = at;
            break;
        }
    put(dataOut, firstLeaf, 0x7FFF0000u, 4);
    // A section whose address is off the section alignment: the image would grow by a
    // section at every rewrite.
    Bytes offAlignment = makeStub({{".text", Bytes(0x10, 'x')}, {".rsrc", tree, static_cast<uint32_t>(dataSize)},
                                   {".reloc", Bytes(0x20, 'r')}});
    put(offAlignment, 0x80 + 24 + 240 + 2 * 40 + 12, 0x3024, 4);
    // A directory pointing past the sections would point into the new resource section.
    Bytes directoryBeyond = good;
    put(directoryBeyond, 0x80 + 24 + 112 + 8 * 7, 0x9000, 4);
    Bytes overlapping = good;  // the code section reaching into the resource section
    put(overlapping, 0x80 + 24 + 240 + 8, 0x4300, 4);
    builder::ResourceSet imagesWithoutGroup = everyKind();
    imagesWithoutGroup.iconGroups.clear();
    struct Case {
        const char* what;
        Bytes image;
        const char* message;
        builder::ResourceSet set = everyKind();
    } cases[] = {
        {"a loop", loop, "a subdirectory at level 3"},
        {"a directory outside", outside, "lies outside the image"},
        {"data outside", dataOut, "its data (RVA 0x7FFF0000"},
        {"not a PE", "MZ but nothing else", "not a PE32+ image"},
        {"a section off the alignment", offAlignment, "section 3's address 0x3024 is not a multiple of the section alignment 0x1000"},
        {"overlapping sections", overlapping, "section 2 (address 0x2000) overlaps section 1, which reaches to 0x6000"},
        {"a data directory beyond the sections", directoryBeyond,
         "data directory 7 (RVA 0x9000, 0 bytes) lies beyond the image's sections"},
        {"icon images no group lists", good, "icon images without a group to list them", imagesWithoutGroup},
    };
    for (const Case& c : cases) {
        Bytes out = "untouched";
        EXPECT_FALSE(builder::writeResources(c.image, c.set, out, error)) << c.what;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
    }
}

// Another directory's data reaching into the resource section: that section keeps its
// bytes, and the new resources go into a section of their own, also on a rewrite.
TEST(ResourceWriter, ADirectoryReachingIntoTheResourceSectionKeepsIt) {
    size_t dataSize = 0;
    for (const RawEntry& e : stubEntries()) dataSize += (e.data.size() + 3) / 4 * 4;
    Bytes stub = makeStub({{".text", Bytes(0x10, 'x')}, {".rsrc", unusualTree(stubEntries(), 0x2000),
                                                         static_cast<uint32_t>(dataSize)}});
    put(stub, 0x80 + 24 + 112 + 8 * 3, 0x1FF0, 4);  // exception data from the code into the resources
    put(stub, 0x80 + 24 + 112 + 8 * 3 + 4, 0x100, 4);
    Bytes out, again;
    std::string error;
    ASSERT_TRUE(builder::writeResources(stub, everyKind(), out, error)) << error;
    builder::PeInfo pe;
    ASSERT_TRUE(builder::parsePe(out, pe, error)) << error;
    ASSERT_EQ(pe.sections.size(), 3u) << "a new section rather than the old one rewritten";
    EXPECT_EQ(out.substr(pe.sections[1].rawOffset, 0x10), stub.substr(0x600, 0x10)) << "the old section's bytes";
    EXPECT_EQ(pe.directoryRva(2), pe.sections[2].virtualAddress);
    ASSERT_TRUE(builder::writeResources(out, everyKind(), again, error)) << error;
    EXPECT_EQ(again, out);
}

TEST(ResourceWriter, NewImagesTakeNoIdThatAKeptGroupLists) {
    // Group 7 is kept and lists image 1, which the stub lacks; group 1001 is replaced.
    const std::vector<RawEntry> entries = {{ResourceName::id(3), ResourceName::id(5), 0x409, "old image"},
                                           {ResourceName::id(14), ResourceName::id(1001), 0x409, group({5})},
                                           {ResourceName::id(14), ResourceName::id(7), 0x409, group({1})}};
    size_t dataSize = 0;
    for (const RawEntry& e : entries) dataSize += (e.data.size() + 3) / 4 * 4;
    const Bytes stub =
        makeStub({{".text", Bytes(0x10, 'x')}, {".rsrc", unusualTree(entries, 0x2000), static_cast<uint32_t>(dataSize)}});
    builder::ResourceSet set;
    builder::IconImage image;
    image.data = "new image";
    set.icons = {image};
    set.iconGroups = {ResourceName::id(1001)};
    Bytes out;
    std::string error;
    ASSERT_TRUE(builder::writeResources(stub, set, out, error)) << error;
    builder::ResourceTree tree;
    ASSERT_TRUE(builder::readResources(out, tree, error)) << error;
    auto m = byKey(tree);
    EXPECT_EQ(m["14/7/1033"], group({1})) << "the kept group";
    EXPECT_EQ(m.count("3/1/1033"), 0u) << "its missing image stays missing";
    EXPECT_EQ(m.count("3/5/1033"), 0u) << "the replaced group's image is gone";
    ASSERT_EQ(le(m["14/1001/1033"], 4, 2), 1u);
    EXPECT_EQ(m["3/" + std::to_string(le(m["14/1001/1033"], 6 + 12, 2)) + "/1033"], "new image");
    Bytes again;
    ASSERT_TRUE(builder::writeResources(out, set, again, error)) << error;
    EXPECT_EQ(again, out) << "the same changes again change nothing";
}

Bytes pngHeader(uint32_t w, uint32_t h) {
    Bytes p("\x89PNG\r\n\x1a\n", 8);
    Bytes ihdr(25, '\0');
    put(ihdr, 0, 0x0D000000, 4);  // length 13, big-endian
    ihdr.replace(4, 4, "IHDR");
    for (int i = 0; i < 4; ++i) {
        ihdr[8 + i] = static_cast<char>((w >> (24 - 8 * i)) & 0xFF);
        ihdr[12 + i] = static_cast<char>((h >> (24 - 8 * i)) & 0xFF);
    }
    ihdr[16] = 8;
    ihdr[17] = 6;
    return p + ihdr + Bytes(12, '\0');
}

TEST(ResourceSection, BadLinesAreRefusedWithTheirLineAndNothingIsWritten) {
    ScratchDir dir;
    std::string stub = dir.write("stub.exe", makeStub({{".text", Bytes(0x10, 'x')}}));
    Bytes ico = testutil::bytes({0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0, 44, 0, 0, 0, 22, 0, 0, 0});
    ico += Bytes(40, '\0');
    put(ico, 22, 40, 4);
    ico += "tail";
    dir.write("truncated.ico", ico.substr(0, 40));
    dir.write("empty.ico", testutil::bytes({0, 0, 1, 0, 0, 0}));
    dir.write("fake.png", "this is text, not an image\n");
    dir.write("zero.png", pngHeader(0, 0));
    dir.write("huge.png", pngHeader(30000, 30000));
    dir.write("bad.manifest", "<assembly><dependency></assembly>");
    dir.write("ok.manifest", "<?xml version=\"1.0\"?>\n<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\"/>\n");
    // Small files the decoder would take too far: a BMP header of 8192x8192 pixels without
    // them, a PNG chunk claiming 2 GB, a JPEG Huffman table of 257 codes.
    Bytes bmp = "BM" + Bytes(52, '\0');
    put(bmp, 10, 54, 4);
    put(bmp, 14, 40, 4);
    put(bmp, 18, 8192, 4);
    put(bmp, 22, 8192, 4);
    put(bmp, 26, 1, 2);
    put(bmp, 28, 24, 2);
    dir.write("cut.bmp", bmp);
    dir.write("claims.png", pngHeader(16, 16).substr(0, 33) + "\x7F\xFF\xFF\xF0IDAT" + Bytes(8, 'x'));
    Bytes jpeg = testutil::bytes({0xFF, 0xD8, 0xFF, 0xC4, 0x01, 0x14, 0x00, 0, 0, 0, 0, 0, 0, 0, 255, 2, 0, 0, 0, 0, 0, 0, 0});
    dir.write("huffman.jpg", jpeg + Bytes(257, '\x01') + "\xFF\xD9");
    dir.write("control.manifest", "<assembly>\x01</assembly>");
    dir.write("declaration.manifest", "<?xml encoding=\"UTF-8\"?><assembly/>");
    struct Case {
        const char* what;
        std::string lines;  // after "[resources]" on line 2
        int line;
        const char* message;
    } cases[] = {
        {"truncated .ico", "ICON = truncated.ico", 3, "truncated.ico: the icon file is cut off: image 1"},
        {"an .ico with 0 images", "ICON = empty.ico", 3, "empty.ico: the icon file holds no images"},
        {"a PNG that is not one", "SPLASH_IMAGE = fake.png", 3, "fake.png: not a PNG, JPEG, GIF or BMP image"},
        {"an icon that is text", "ICON = fake.png", 3, "fake.png: not an .ico file or a PNG image"},
        {"a 0x0 image", "SPLASH_IMAGE = zero.png", 3, "zero.png: a splash image is 1 to 8192 pixels wide and high, not 0x0"},
        {"a 30000x30000 image", "SPLASH_IMAGE = huge.png", 3, "not 30000x30000"},
        {"a BMP without its pixels", "SPLASH_IMAGE = cut.bmp", 3,
         "cut.bmp: the BMP file is cut off: its 8192x8192 pixels need 201326646 bytes, the file has 54"},
        {"a PNG chunk beyond the file", "SPLASH_IMAGE = claims.png", 3,
         "claims.png: the PNG file is cut off: its chunk IDAT at offset 33 needs 2147483644 bytes"},
        {"a PNG icon cut off", "ICON = claims.png", 3, "claims.png: the PNG file is cut off"},
        {"a JPEG Huffman table of 257 codes", "SPLASH_IMAGE = huffman.jpg", 3,
         "huffman.jpg: not a usable JPEG image (a Huffman table of 257 codes)"},
        {"a missing file", "ICON = nowhere.ico", 3, "cannot open"},
        {"five version numbers", "FILE_VERSION = 1.2.3.4.5", 3, "FILE_VERSION: not a version: \"1.2.3.4.5\""},
        {"letters as version", "COMPANY_NAME = x\nPRODUCT_VERSION = a.b", 4, "PRODUCT_VERSION: not a version: \"a.b\""},
        {"an unknown key", "ICONS = a.ico", 3, "unknown resource key ICONS"},
        {"a NUL in a file name", "ICON = \"a.ico\\u0000.png\"", 3, "a NUL character is not allowed in [resources]"},
        {"a bad choice", "EXECUTION_LEVEL = admin", 3, "\"admin\" is not one of asInvoker, highestAvailable"},
        {"a bad flag", "LONG_PATHS = yes", 3, "LONG_PATHS: 1 or 0 is expected"},
        {"a manifest that is not XML", "MANIFEST = bad.manifest", 3, "bad.manifest: not well-formed XML at line 1, column"},
        {"a manifest with a control character", "MANIFEST = control.manifest", 3,
         "control.manifest: not well-formed XML at line 1, column 11: a control character (0x01)"},
        {"a manifest declaration without version", "MANIFEST = declaration.manifest", 3,
         "declaration.manifest: not well-formed XML at line 1, column 6: the XML declaration needs a version"},
        {"MANIFEST with a generated key", "MANIFEST = ok.manifest\nDPI_AWARENESS = system", 4,
         "MANIFEST is taken as it is and cannot be combined with DPI_AWARENESS"},
        {"a non-Windows-1252 text without UTF-8", "FILE_VERSION = 1\n[strings]\nMAIN_CLASS = a✓", 5,
         "cannot be written in Windows-1252"},
    };
    for (const Case& c : cases) {
        dir.write("app.conf", "MAIN_CLASS = a\n[resources]\n" + c.lines + "\n");
        auto r = runCli({"--stub", stub, "--config", dir.file("app.conf"), "--out", dir.file("app.exe")});
        EXPECT_EQ(r.code, 1) << c.what;
        std::string where = "tovex-build: " + dir.file("app.conf") + ":" + std::to_string(c.line) + ": ";
        EXPECT_EQ(r.err.compare(0, where.size(), where), 0) << c.what << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << ": " << r.err;
        EXPECT_FALSE(dir.exists("app.exe")) << c.what;
        EXPECT_EQ(dir.list().size(), 14u) << c.what << ": nothing else written";
    }
}

TEST(ResourceSection, VersionNumbers) {
    struct Case {
        const char* text;
        bool ok;
        uint16_t parts[4];
    } cases[] = {
        {"1", true, {1, 0, 0, 0}},          {"1.2.3.4", true, {1, 2, 3, 4}}, {"65535.0.7", true, {65535, 0, 7, 0}},
        {"1.2.3.4.5", false, {}},           {"a.b", false, {}},              {"", false, {}},
        {"1..2", false, {}},                {"65536", false, {}},            {"-1", false, {}},
        {"1.2.", false, {}},                {" 1", false, {}},
    };
    for (const Case& c : cases) {
        uint16_t parts[4];
        std::string error;
        EXPECT_EQ(builder::parseVersionNumbers(c.text, parts, error), c.ok) << c.text;
        if (c.ok) {
            for (int k = 0; k < 4; ++k) EXPECT_EQ(parts[k], c.parts[k]) << c.text;
        }
    }
}

TEST(ResourceSection, ManifestXml) {
    struct Case {
        const char* xml;
        const char* error;  // nullptr: accepted
    } cases[] = {
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- c --><assembly a='1' b=\"&amp;&#65;&#x42;\"><x/>t<![CDATA[<]]></assembly>\n",
         nullptr},
        {"<asm:assembly xmlns:asm=\"urn:x\"></asm:assembly>", nullptr},
        {"<assembly><a></b></assembly>", "</b> does not close <a>"},
        {"<assembly>", "<assembly> is not closed"},
        {"<assembly a=1/>", "a quoted value is expected"},
        {"<assembly a='1' a='2'/>", "attribute a given twice"},
        {"<assembly>&nbsp;</assembly>", "unknown reference &nbsp;"},
        {"<assembly/><more/>", "text after the root element"},
        {"<!DOCTYPE x><assembly/>", "a DOCTYPE is not allowed"},
        {"<assembly><!-- a -- b --></assembly>", "\"--\" inside a comment"},
        {"<dependency/>", "the root element is <dependency>"},
        {"", "the root element is missing"},
        // What Windows' parser would refuse too: characters XML does not allow, a crooked
        // declaration, a reserved name, names beyond ASCII.
        {"<?xml version='1.0' encoding='us-ascii' standalone='no' ?><assembly>&#x10FFFF;&#9;</assembly>", nullptr},
        {"<assembly a='\x1F'/>", "column 14: a control character (0x1F)"},
        {"<assembly>\xEF\xBF\xBE</assembly>", "the non-character U+FFFE"},
        {"<assembly>&#0;</assembly>", "&#0; is not a character XML allows"},
        {"<assembly>&#xD800;</assembly>", "&#xD800; is not a character XML allows"},
        {"<?xml version=\"1.0\"encoding=\"UTF-8\"?><assembly/>", "the XML declaration does not end here"},
        {"<?xml version=\"2.0\"?><assembly/>", "version \"2.0\" is not an XML version"},
        {"<?xml version=\"1.0\" standalone=\"yes\" encoding=\"UTF-8\"?><assembly/>", "the XML declaration does not end here"},
        {"<?xml version=\"1.0\" encoding=\"UTF-16\"?><assembly/>", "the encoding \"UTF-16\" (the file is read as UTF-8)"},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><assembly>\xC3\xA9</assembly>", "the encoding \"ISO-8859-1\""},
        {"<?XML version=\"1.0\"?><assembly/>", "the processing instruction name XML is reserved"},
        {"<?pi\"x\"?><assembly/>", "a blank is expected after pi"},
        {"<assembly><\xC3\xA9/></assembly>", "a name is expected"},
    };
    for (const Case& c : cases) {
        std::string error;
        bool ok = builder::checkManifestXml(c.xml, error);
        EXPECT_EQ(ok, c.error == nullptr) << c.xml << ": " << error;
        if (c.error) {
            EXPECT_NE(error.find(c.error), std::string::npos) << c.xml << ": " << error;
        }
    }
    std::string generated = builder::generateManifest(builder::ManifestOptions());
    std::string error;
    EXPECT_TRUE(builder::checkManifestXml(generated, error)) << error;
    EXPECT_FALSE(builder::manifestSelectsUtf8(generated));
    builder::ManifestOptions utf8;
    utf8.utf8CodePage = true;
    EXPECT_TRUE(builder::manifestSelectsUtf8(builder::generateManifest(utf8)));
}

// stb_image 2.27 left its JPEG decoder's state uninitialised: a scan using a table no
// segment defined read what the heap held. glibc fills every new allocation with a byte
// of the test's choice (M_PERTURB; no effect under AddressSanitizer, which has its own).
TEST(ResourceSection, DecodingDoesNotDependOnWhatTheHeapHeld) {
    // An 8x8 JPEG (ImageMagick's) whose colour components use AC table 1, defined here as table 3.
    Bytes jpeg;
    for (const char* h = "ffd8ffe000104a46494600010100000100010000ffdb004300030202020202030202020303030304060404040404080606"
                         "050609080a0a090809090a0c0f0c0a0b0e0b09090d110d0e0f101011100a0c12131210130f101010ffdb00430103030304"
                         "030408040408100b090b1010101010101010101010101010101010101010101010101010101010101010101010101010"
                         "101010101010101010101010ffc00011080008000803011100021101031101ffc400140001000000000000000000000000"
                         "00000008ffc40014100100000000000000000000000000000000ffc4001501010100000000000000000000000000000709"
                         "ffc40014110100000000000000000000000000000000ffda000c03010002110311003f003a03154dffd9";
         h[0] && h[1]; h += 2)
        jpeg += static_cast<char>(std::stoi(std::string(h, 2), nullptr, 16));
    const size_t table = jpeg.rfind(std::string("\xFF\xC4\x00\x14\x11", 5));
    ASSERT_NE(table, std::string::npos);
    jpeg[table + 4] = 0x13;
    std::vector<unsigned char> first;
    for (int fill : {0x11, 0x5A, 0xC3}) {
        mallopt(M_PERTURB, fill);
        int w = 0, h = 0;
        std::vector<unsigned char> rgba;
        std::string error;
        ASSERT_TRUE(builder::decodeImage(jpeg, w, h, rgba, error)) << error;
        EXPECT_EQ(w, 8);
        if (first.empty()) first = rgba;
        EXPECT_EQ(rgba, first) << "heap filled with " << fill;
    }
    mallopt(M_PERTURB, 0);
}

TEST(ResourceSection, Utf8CodePageWritesNarrowTextAsUtf8) {
    ScratchDir dir;
    std::string stub = dir.write("stub.exe", makeStub({{".text", Bytes(0x10, 'x')}}));
    dir.write("a.bin", "content");
    dir.write("app.conf",
              "MAIN_CLASS = démo.Main✓\n[lang Grüß]\nMSG_ERROR_CAPTION = x\n[files]\nGrüße.bin = a.bin\n"
              "[resources]\nUTF8_CODE_PAGE = 1\n");
    auto r = runCli({"--stub", stub, "--config", dir.file("app.conf"), "--out", dir.file("app.exe"), "--set",
                     "APP_ARGUMENTS=Ω"});
    ASSERT_EQ(r.code, 0) << r.err;
    Bytes out = dir.read("app.exe");
    uint64_t start = 0, end = 0;
    std::string error;
    ASSERT_TRUE(builder::findBlockStart(out, start, error)) << error;
    builder::BlockData block;
    ASSERT_TRUE(builder::decodeBlock(out, start, block, end, error)) << error;
    std::map<int32_t, std::string> strings;
    for (const auto& e : block.strings) strings[e.id] = e.value;
    EXPECT_EQ(strings[122], "d\xC3\xA9mo.Main\xE2\x9C\x93");
    EXPECT_EQ(strings[124], "\xCE\xA9");
    EXPECT_EQ(strings[2003], "Gr\xC3\xBC\xC3\x9F" "e.bin");
    ASSERT_EQ(block.sets.size(), 1u);
    EXPECT_EQ(block.sets[0].key, "Gr\xC3\xBC\xC3\x9F");
    builder::ResourceTree tree;
    ASSERT_TRUE(builder::readResources(out, tree, error)) << error;
    const builder::ResourceEntry* manifest = builder::findResource(tree, ResourceName::id(24), ResourceName::id(1));
    ASSERT_NE(manifest, nullptr);
    EXPECT_TRUE(builder::manifestSelectsUtf8(manifest->data));
}

}  // namespace

namespace {

std::map<int32_t, std::string> blockStrings(const Bytes& exe) {
    uint64_t start = 0, end = 0;
    std::string error;
    builder::BlockData block;
    std::map<int32_t, std::string> strings;
    if (!builder::findBlockStart(exe, start, error) || !builder::decodeBlock(exe, start, block, end, error))
        return strings;
    for (const auto& e : block.strings) strings[e.id] = e.value;
    return strings;
}

const builder::ResourceEntry* manifestOf(const Bytes& exe, builder::ResourceTree& tree) {
    std::string error;
    if (!builder::readResources(exe, tree, error)) return nullptr;
    return builder::findResource(tree, ResourceName::id(24), ResourceName::id(1));
}

// The stub's manifest decides when no key does: a stub that selects the UTF-8 code page
// (as the launcher stubs do) gets UTF-8 text; UTF8_CODE_PAGE = 0 opts out.
TEST(ResourceSection, TheStubsManifestDecidesTheCodePageUnlessTheKeySays) {
    ScratchDir dir;
    std::string plain = dir.write("plain.exe", makeStub({{".text", Bytes(0x10, 'x')}}));
    dir.write("stub.conf", "MAIN_CLASS = x\n[resources]\nUTF8_CODE_PAGE = 1\n");
    ASSERT_EQ(runCli({"--stub", plain, "--config", dir.file("stub.conf"), "--out", dir.file("utf8stub.exe")}).code, 0);
    const std::string utf8Stub = dir.file("utf8stub.exe");

    dir.write("app.conf", "MAIN_CLASS = d\xC3\xA9mo\n");
    dir.write("optout.conf", "MAIN_CLASS = d\xC3\xA9mo\n[resources]\nUTF8_CODE_PAGE = 0\n");
    struct Row {
        std::string stub, conf;
        const char* mainClass;
        bool manifestUtf8;
    } rows[] = {
        {utf8Stub, "app.conf", "d\xC3\xA9mo", true},       // the default with a UTF-8 stub
        {utf8Stub, "optout.conf", "d\xE9mo", false},       // opted out: Windows-1252, no activeCodePage
        {plain, "app.conf", "d\xE9mo", false},             // a stub without a manifest: as before
    };
    for (const Row& row : rows) {
        auto r = runCli({"--stub", row.stub, "--config", dir.file(row.conf), "--out", dir.file("app.exe")});
        ASSERT_EQ(r.code, 0) << r.err;
        Bytes out = dir.read("app.exe");
        EXPECT_EQ(blockStrings(out)[122], row.mainClass) << row.conf;
        builder::ResourceTree tree;
        const builder::ResourceEntry* manifest = manifestOf(out, tree);
        EXPECT_EQ(manifest && builder::manifestSelectsUtf8(manifest->data), row.manifestUtf8) << row.conf;
        // A dump rebuilds the same executable with the same stub.
        auto d = runCli({"--dump", dir.file("app.exe")});
        ASSERT_EQ(d.code, 0) << d.err;
        dir.write("dump.conf", d.out);
        ASSERT_EQ(runCli({"--stub", row.stub, "--config", dir.file("dump.conf"), "--out", dir.file("again.exe")}).code, 0);
        EXPECT_EQ(dir.read("again.exe"), out) << d.out;
    }
}

}  // namespace
