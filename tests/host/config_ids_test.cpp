#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "launcher/config_ids.h"

TEST(ConfigIds, TableIsAscendingAndNamesAreUnique) {
    int count = 0;
    const ConfigIdInfo* table = configIdTable(&count);
    ASSERT_GT(count, 70);
    std::set<std::string> names;
    for (int i = 0; i < count; ++i) {
        if (i > 0) EXPECT_LT(table[i - 1].id, table[i].id) << table[i].name;
        EXPECT_TRUE(names.insert(table[i].name).second) << table[i].name;
    }
}

TEST(ConfigIds, LookupByNameAcceptsThePrefix) {
    ASSERT_NE(findConfigIdByName("CFG_MAIN_CLASS"), nullptr);
    EXPECT_EQ(findConfigIdByName("MAIN_CLASS")->id, CFG_MAIN_CLASS);
    EXPECT_EQ(findConfigIdByName("CFG_MAIN_CLASS")->id, 122);
    EXPECT_EQ(findConfigIdByName("NO_SUCH_SETTING"), nullptr);
    EXPECT_EQ(findConfigId(99999), nullptr);
}
