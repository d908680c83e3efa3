// The builder's default message texts: one row per id, each with what happened
// and what to do, and placeholders the launcher fills.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "launcher/config_ids.h"
#include "launcher/default_texts.h"
#include "launcher/texts.h"

namespace {
size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}
}  // namespace

TEST(DefaultTexts, OneRowPerIdInOrderEachFilledAsTheLauncherFillsIt) {
    struct Row {
        int32_t id;
        bool argument;  // the launcher passes a "{0}" argument
        bool details;   // the launcher passes a "{details}" explanation
        bool advice;    // the text itself says what to do
    } rows[] = {
        {1000, false, false, false}, {1001, false, true, true},  {1002, false, false, true},
        {1003, true, false, true},   {1004, true, false, true},  {1005, false, true, true},
        {1006, true, false, true},   {1007, false, false, false}, {1008, true, false, true},
        {1009, true, true, false},   {1010, true, false, true},  {1011, true, false, true},
        {1012, false, false, false}, {1013, false, false, false}, {1014, true, false, true},
        {1015, false, true, true},   {1016, true, true, true},   {1017, true, false, true},
        {1018, true, false, true},   {1019, true, false, true},  {1020, true, false, true},
    };
    ASSERT_EQ(sizeof(rows) / sizeof(rows[0]), sizeof(kDefaultMessageTexts) / sizeof(kDefaultMessageTexts[0]));
    for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
        const Row& row = rows[i];
        std::string text = kDefaultMessageTexts[i].text;
        EXPECT_EQ(kDefaultMessageTexts[i].id, row.id);
        EXPECT_EQ(defaultMessageText(row.id), kDefaultMessageTexts[i].text);
        EXPECT_EQ(count(text, texts::kMessageArgument), row.argument ? 1u : 0u) << row.id;
        EXPECT_EQ(count(text, texts::kMessageDetails), row.details ? 1u : 0u) << row.id;
        EXPECT_EQ(count(text, "What to do: "), row.advice ? 1u : 0u) << row.id;
        EXPECT_EQ(text.find("occured"), std::string::npos) << row.id;
        // Whether TOVEX_JAVA_HOME is set is known only at run time: the launcher's details say it.
        EXPECT_EQ(text.find(texts::kJavaHomeVariable), std::string::npos) << row.id;
        EXPECT_NE(text.back(), '\n') << row.id;
    }
    EXPECT_EQ(defaultMessageText(999), nullptr);
    EXPECT_EQ(defaultMessageText(1021), nullptr);
}

TEST(DefaultTexts, NoJavaTextsNameTheOneDownloadAddress) {
    for (int32_t id : {1001, 1002, 1004, 1016, 1019, 1020})
        EXPECT_NE(std::string(defaultMessageText(id)).find(texts::kJavaDownloadSite), std::string::npos) << id;
    EXPECT_EQ(std::string(defaultMessageText(CFG_MSG_JVM_START_FAILED)).find("exception"), std::string::npos);
}
