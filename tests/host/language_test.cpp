// Language table, the format-as-default rule and the recorded parts.
#include <gtest/gtest.h>

#include "launcher/language.h"
#include "launcher/log.h"

TEST(Language, TableHas215Rows) { EXPECT_EQ(languageTableSize(), 215); }

TEST(Language, CodeForWindowsLanguageId) {
    struct Row {
        uint16_t id;
        const char* code;
    } rows[] = {
        {0x0407, "de_DE"}, {0x0807, "de_CH"},    {0x0C07, "de_AT"}, {0x200C, "fr"},    {0x101A, "sr"},
        {0x041A, "hr_HR"}, {0x0814, "no_NO_NY"}, {0x0028, "en"},    {0x002E, "en"},    {0x0030, "en"},
        {0x0812, "ko_KR"}, {0x2409, "en"},       {0x0431, "ts"},    {0x0434, "xh"},    {0x0435, "zu"},
        {0x043D, "yi"},    {0x0444, "tt"},       {0x0C0A, "es_ES"}, {0x081A, "sr_CS"}, {0x0C1A, "sr_CS"},
        {0x082C, "az_AZ"}, {0x0843, "uz_UZ"},    {0x0409, "en_US"}, {0x040D, "iw_IL"}, {0x0421, "in_ID"},
        {0x0001, "ar"},    {0x0056, "gl"},       {0x500A, "es_PR"}, {0x040C, "fr_FR"}, {0x0000, "en"},
        {0xFFFF, "en"},    {0x7C07, "de"},  // unknown sublanguage: the primary id decides
    };
    for (const Row& row : rows) EXPECT_EQ(languageCodeForId(row.id), row.code) << std::hex << row.id;
}

TEST(Language, FormatAsDefaultLastArgumentDecides) {
    struct Row {
        std::vector<std::u16string> args;
        bool formatIsDefault;
    } rows[] = {
        {{u"app.exe"}, true},
        {{u"app.exe", u"-Dsun.locale.formatasdefault=false"}, false},
        {{u"app.exe", u"-Dsun.locale.formatasdefault=true"}, true},
        {{u"app.exe", u"-Dsun.locale.formatasdefault=no", u"-Dsun.locale.formatasdefault=true"}, true},
        {{u"app.exe", u"-Dsun.locale.formatasdefault=true", u"-Dsun.locale.formatasdefault="}, false},
        {{u"-Dsun.locale.formatasdefault=x"}, false},  // element 0 counts too
        {{u"app.exe", u"-Dsun.locale.formatasdefault=TRUE"}, false},
        {{u"app.exe", u"-Dsun.locale.formatasdefault"}, true},  // no "=": not such an argument
    };
    for (const Row& row : rows) EXPECT_EQ(formatLocaleIsDefault(row.args), row.formatIsDefault);
}

namespace {
int uiSwissGerman() { return 0x0807; }
int uiUnavailable() { return -1; }
}  // namespace

TEST(Language, DecideUsesTheUiLanguageOnlyWhenAskedAndLogs) {
    hostLogClear();
    EXPECT_EQ(decideLanguage({u"a.exe"}, 0x040C, &uiSwissGerman), "fr_FR");
    EXPECT_EQ(hostLogLines(),
              (std::vector<std::string>{"sun.locale.formatasdefault is true", "language/country is fr_FR"}));
    hostLogClear();
    EXPECT_EQ(decideLanguage({u"a.exe", u"-Dsun.locale.formatasdefault=false"}, 0x040C, &uiSwissGerman), "de_CH");
    EXPECT_EQ(hostLogLines(),
              (std::vector<std::string>{"sun.locale.formatasdefault is false", "language/country is de_CH"}));
    EXPECT_EQ(decideLanguage({u"a.exe", u"-Dsun.locale.formatasdefault=false"}, 0x040C, &uiUnavailable), "fr_FR");
    EXPECT_EQ(decideLanguage({u"a.exe", u"-Dsun.locale.formatasdefault=false"}, 0x040C, nullptr), "fr_FR");
}

TEST(Language, RecordedParts) {
    struct Row {
        const char* code;
        const char* language;
        const char* country;  // nullptr: none
    } rows[] = {
        {"de_DE", "de", "DE"}, {"en", "en", nullptr}, {"no_NO_NY", "no", nullptr}, {"ts", "ts", nullptr},
    };
    for (const Row& row : rows) {
        recordLanguageCode(row.code);
        std::string language, country = "unchanged";
        EXPECT_TRUE(getUserLanguage(&language));
        EXPECT_EQ(language, row.language);
        EXPECT_EQ(getUserCountry(&country), row.country != nullptr) << row.code;
        if (row.country) {
            EXPECT_EQ(country, row.country);
        }
        EXPECT_EQ(languageCode(), row.code);
    }
}
