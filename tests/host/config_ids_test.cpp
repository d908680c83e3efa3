#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>

#include "launcher/config_ids.h"

namespace {
// The constants of enum ConfigId as written in its header: name (without CFG_) to id.
// Every line of the enum's body is a constant or blank, so nothing is skipped unread.
std::map<std::string, int32_t> enumConstants() {
    std::ifstream header(TOVEX_SOURCE_DIR "/src/launcher/config_ids.h");
    EXPECT_TRUE(header.is_open());
    const std::regex constant(R"(\s*CFG_([A-Z0-9_]+) = (\d+),\s*)");
    std::map<std::string, int32_t> constants;
    bool inside = false;
    for (std::string line; std::getline(header, line);) {
        if (!inside) {
            inside = line.rfind("enum ConfigId ", 0) == 0;
            continue;
        }
        if (line == "};") return constants;
        std::smatch m;
        if (line.find_first_not_of(" ") == std::string::npos) continue;
        EXPECT_TRUE(std::regex_match(line, m, constant)) << "not a constant: " << line;
        if (m.empty()) continue;
        EXPECT_TRUE(constants.emplace(m[1].str(), std::stoi(m[2].str())).second) << "named twice: " << m[1];
    }
    ADD_FAILURE() << "no complete enum ConfigId in config_ids.h";
    return constants;
}
}  // namespace

TEST(ConfigIds, TableIsAscendingAndNamesAreUnique) {
    int count = 0;
    const ConfigIdInfo* table = configIdTable(&count);
    ASSERT_GT(count, 70);
    std::set<std::string> names;
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            EXPECT_LT(table[i - 1].id, table[i].id) << table[i].name;
        }
        EXPECT_TRUE(names.insert(table[i].name).second) << table[i].name;
    }
}

// The enum and the table cannot drift apart: every constant has the row of its name and
// id, found by both lookups; every other row is a reserved id named after itself.
TEST(ConfigIds, EnumAndTableNameTheSameIds) {
    const std::map<std::string, int32_t> constants = enumConstants();
    ASSERT_GT(constants.size(), 70u);
    std::set<int32_t> enumIds;
    for (const auto& c : constants) {
        EXPECT_TRUE(enumIds.insert(c.second).second) << "id " << c.second << " has two constants";
        const ConfigIdInfo* row = findConfigIdByName(c.first.c_str());
        ASSERT_NE(row, nullptr) << "no table row named " << c.first;
        EXPECT_EQ(row->id, c.second) << c.first;
        EXPECT_EQ(findConfigId(c.second), row) << c.first;
        EXPECT_EQ(findConfigIdByName(("CFG_" + c.first).c_str()), row) << c.first;
    }
    int count = 0;
    const ConfigIdInfo* table = configIdTable(&count);
    size_t reserved = 0;
    for (int i = 0; i < count; ++i) {
        const std::string name = table[i].name;
        auto constant = constants.find(name);
        if (constant != constants.end()) {
            EXPECT_EQ(constant->second, table[i].id) << name;
        } else {
            EXPECT_EQ(name, "RESERVED_" + std::to_string(table[i].id)) << "row without a constant";
            EXPECT_EQ(enumIds.count(table[i].id), 0u) << name << " reuses an id of the enum";
            ++reserved;
        }
        EXPECT_NE(std::strlen(table[i].meaning), 0u) << name;
    }
    EXPECT_EQ(constants.size() + reserved, static_cast<size_t>(count));
}

TEST(ConfigIds, UnknownIdsAndNamesAreNotFound) {
    for (const char* name : {"NO_SUCH_SETTING", "", "CFG_", "main_class", "CFG_CFG_MAIN_CLASS"})
        EXPECT_EQ(findConfigIdByName(name), nullptr) << name;
    for (int32_t id : {0, -1, 100, 148, 1021, 99999}) EXPECT_EQ(findConfigId(id), nullptr) << id;
}
