// The one splitter of ";"-separated lists, with the rule each kind of list uses.
#include <gtest/gtest.h>

#include <algorithm>

#include "files/paths.h"

TEST(SplitList, ItemsAndEmptyItems) {
    using V = std::vector<std::string>;
    struct Row {
        const char* list;
        EmptyItems empty;
        V items;
        const char* guards;
    } rows[] = {
        // Skip: class path, search sequence, installation directories, appended-file
        // names, option path lists, native library directories, class-data stamps.
        {"", EmptyItems::Skip, V{}, "an empty list has no items"},
        {";", EmptyItems::Skip, V{}, "a lone separator has no items"},
        {";;;", EmptyItems::Skip, V{}, "separators only"},
        {"a", EmptyItems::Skip, V{"a"}, "one item without separator"},
        {"a;;b;", EmptyItems::Skip, V{"a", "b"}, "inner and trailing empties dropped"},
        {";a", EmptyItems::Skip, V{"a"}, "leading empty dropped"},
        {" a ; b ", EmptyItems::Skip, V{" a ", " b "}, "no trimming"},
        {"\"C:\\x;y\"", EmptyItems::Skip, V{"\"C:\\x", "y\""}, "quotes do not protect a separator"},
        {"BX;Rjre;JY", EmptyItems::Skip, V{"BX", "Rjre", "JY"}, "search-sequence entries stay whole"},
        {"01lib\\*.jar;;10app.jar", EmptyItems::Skip, V{"01lib\\*.jar", "10app.jar"}, "class-path entries"},
        // Keep: the appended-file list read back by the dump, whose item count must
        // equal the stored file count.
        {"", EmptyItems::Keep, V{""}, "an empty list is one empty name"},
        {"a", EmptyItems::Keep, V{"a"}, "one name"},
        {"a;", EmptyItems::Keep, V{"a", ""}, "trailing separator gives an empty last name"},
        {";a", EmptyItems::Keep, V{"", "a"}, "leading separator gives an empty first name"},
        {";;", EmptyItems::Keep, V{"", "", ""}, "separators only"},
        {"a;;b", EmptyItems::Keep, V{"a", "", "b"}, "inner empty kept in place"},
    };
    for (const Row& row : rows) {
        std::string list = row.list;
        V items = splitList(list, row.empty);
        EXPECT_EQ(items, row.items) << row.guards;
        if (row.empty == EmptyItems::Keep) {  // one item more than separators, always
            size_t separators = static_cast<size_t>(std::count(list.begin(), list.end(), ';'));
            EXPECT_EQ(items.size(), separators + 1) << row.guards;
        }
    }
    EXPECT_EQ(splitList("x;;y"), (std::vector<std::string>{"x", "y"})) << "empties are skipped by default";
}
