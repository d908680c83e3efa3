// The version rules: numbers, limits as prefixes, the byte-wise rules for text that is no
// version number, the pre-release filter.
#include <gtest/gtest.h>

#include <algorithm>

#include "jvm/versions.h"
#include "launcher/config.h"
#include "launcher/log.h"

namespace {
struct VersionCase {
    const char* name;
    const char* version;
    const char* min;
    const char* max;
    bool prereleaseAllowed;
    const char* allowBeta;  // configuration id 130; nullptr: absent
    bool accepted;          // isVersionAccepted
    bool inRange;           // isVersionInRange
    bool betaLogged;        // "beta vm not allowed" written
};

const VersionCase kCases[] = {
    {"no limits accept anything", "1.7.0_05", "", "", false, nullptr, true, true, false},
    {"no limits accept the empty version", "", "", "", false, nullptr, true, true, false},
    {"upper 1.7 accepts 1.7", "1.7", "", "1.7", false, nullptr, true, true, false},
    {"upper 1.7 accepts 1.7.0", "1.7.0", "", "1.7", false, nullptr, true, true, false},
    {"upper 1.7 accepts a continuation 1.7.0_05", "1.7.0_05", "", "1.7", false, nullptr, true, true, false},
    {"upper 1.7 rejects 1.8.0", "1.8.0", "", "1.7", false, nullptr, false, false, false},
    {"lower 1.5 accepts 1.5.0_22", "1.5.0_22", "1.5", "", false, nullptr, true, true, false},
    {"lower 1.5 accepts 1.6.0", "1.6.0", "1.5", "", false, nullptr, true, true, false},
    {"lower 1.5 rejects 1.4.2_19", "1.4.2_19", "1.5", "", false, nullptr, false, false, false},
    // Missing parts count as 0: 1.5 is 1.5.0 (byte-wise it stopped short of the limit).
    {"lower 1.5.0: 1.5 is the same version", "1.5", "1.5.0", "", false, nullptr, true, true, false},
    {"numbers: 1.10.0 is above 1.5", "1.10.0", "1.5", "", false, nullptr, true, true, false},
    {"numbers: 10.0.1 is above 1.7", "10.0.1", "", "1.7", false, nullptr, false, false, false},
    {"numbers: 10.0.1 passes lower 1.5", "10.0.1", "1.5", "", false, nullptr, true, true, false},
    // What the byte-wise order answered wrongly.
    {"lower 9 accepts 17", "17.0.9", "9", "", false, nullptr, true, true, false},
    {"lower 11 refuses 9.0.4", "9.0.4", "11", "", false, nullptr, false, false, false},
    {"upper 9 refuses 17", "17", "", "9", false, nullptr, false, false, false},
    {"9 to 17 accepts 11.0.21", "11.0.21", "9", "17", false, nullptr, true, true, false},
    {"upper 17 admits 17.0.9+9", "17.0.9+9", "", "17", false, nullptr, true, true, false},
    {"upper 17.0.8 refuses 17.0.9", "17.0.9", "", "17.0.8", false, nullptr, false, false, false},
    {"lower 1.8 is Java 8: accepts 1.8.0_372", "1.8.0_372", "1.8", "", false, nullptr, true, true, false},
    {"lower 8 and 1.8.0_372", "1.8.0_372", "8", "", false, nullptr, true, true, false},
    {"lower 11 refuses 1.8.0_372", "1.8.0_372", "11", "", false, nullptr, false, false, false},
    {"upper 1.8 refuses 11", "11.0.2", "", "1.8", false, nullptr, false, false, false},
    {"build suffix b07 is no pre-release", "1.8.0_372-b07", "1.8", "1.8", false, nullptr, true, true, false},
    {"range: 17 passes lower 17.0.9 over the common length", "17", "17.0.9", "", false, nullptr, false, true, false},
    // Text that is no version number keeps the byte-wise rules.
    {"limit that is no number compares bytes", "17.0.9", "latest", "", false, nullptr, false, false, false},
    {"version that is no number compares bytes", "1.8.0 custom", "1.8", "", false, nullptr, true, true, false},
    {"modern version within 11 to 17", "17.0.15", "11", "17", false, nullptr, true, true, false},
    {"empty version passes any range but not the limits", "", "1.5", "1.7", false, nullptr, false, true, false},
    {"both limits, inside", "1.6.0_31", "1.5", "1.7", false, nullptr, true, true, false},
    {"high byte sorts above ASCII", "1.\xe9", "1.5", "1.7", false, nullptr, false, false, false},
    {"ea rejected without permission", "1.7.0-ea", "", "", false, nullptr, false, true, true},
    {"rc rejected with id 130 = 0", "1.6.0-rc", "", "", false, "0", false, true, true},
    {"beta rejected", "1.7.0-beta", "", "", false, nullptr, false, true, true},
    {"ea anywhere counts", "1.8.0-year", "", "", false, nullptr, false, true, true},
    {"non-numeric id 130 reads as 0", "1.7.0-ea", "", "", false, "yes", false, true, true},
    {"markers are case-sensitive", "1.7.0-EA", "", "", false, nullptr, true, true, false},
    {"id 130 = 1 allows pre-releases", "1.7.0-ea", "", "", false, "1", true, true, false},
    {"caller flag allows pre-releases", "1.6.0-rc", "", "", true, nullptr, true, true, false},
    {"allowed pre-release still meets the limits", "1.8.0-ea", "", "1.7", true, nullptr, false, false, false},
    {"pre-release filter comes first", "1.4-beta", "1.5", "", false, nullptr, false, false, true},
};

class VersionRules : public ::testing::TestWithParam<VersionCase> {
protected:
    void SetUp() override {
        setConfigForTesting({});
        hostLogClear();
    }
    void TearDown() override { setConfigForTesting({}); }
};

TEST_P(VersionRules, AcceptedAndInRange) {
    const VersionCase& c = GetParam();
    if (c.allowBeta) setConfigValueForTesting(CFG_ALLOW_BETA_VM, c.allowBeta);
    EXPECT_EQ(isVersionAccepted(c.version, c.min, c.max, c.prereleaseAllowed), c.accepted) << c.name;
    const std::vector<std::string>& lines = hostLogLines();
    bool logged = std::find(lines.begin(), lines.end(), "beta vm not allowed") != lines.end();
    EXPECT_EQ(logged, c.betaLogged) << c.name;
    EXPECT_EQ(isVersionInRange(c.version, c.min, c.max), c.inRange) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Table, VersionRules, ::testing::ValuesIn(kCases));

TEST(VersionOrder, NumbersThenBytes) {
    EXPECT_EQ(compareVersions("1.7", "1.7"), 0);
    EXPECT_LT(compareVersions("1.7", "1.7.0"), 0);  // the same number: a prefix is smaller
    EXPECT_GT(compareVersions("1.7.0_10", "1.7.0_05"), 0);
    EXPECT_GT(compareVersions("1.10.0", "1.5"), 0);  // byte-wise it was smaller
    EXPECT_GT(compareVersions("10.0.1", "1.7"), 0);
    EXPECT_GT(compareVersions("17.0.9", "9.0.4"), 0);  // byte-wise it was smaller
    EXPECT_GT(compareVersions("21", "17.0.9"), 0);
    EXPECT_GT(compareVersions("11", "1.8.0_372"), 0);
    EXPECT_LT(compareVersions("17-ea", "17"), 0);   // a pre-release below its release
    EXPECT_GT(compareVersions("1.\xe9", "1.z"), 0);  // no numbers: unsigned bytes
    EXPECT_LT(compareVersions("", "1"), 0);
    EXPECT_LT(compareVersions("latest", "1.6"), 0);  // any version number above other text
}

TEST(VersionOrder, RegisteredVersionsGreatestFirstWithinRange) {
    EXPECT_EQ(orderRegisteredVersions({"1.6.0_31", "1.7.0_05", "1.7.0_10"}, "", ""),
              (std::vector<std::string>{"1.7.0_10", "1.7.0_05", "1.6.0_31"}));
    EXPECT_EQ(orderRegisteredVersions({"1.6", "1.6.0_31", "1.7", "1.7.0_05", "1.4.2", "1.8"}, "1.5", "1.7"),
              (std::vector<std::string>{"1.7.0_05", "1.7", "1.6.0_31", "1.6"}));
    EXPECT_TRUE(orderRegisteredVersions({}, "1.5", "").empty());
    EXPECT_EQ(orderRegisteredVersions({"9.0.4", "17", "1.8", "11.0.2", "21"}, "9", "17"),
              (std::vector<std::string>{"17", "11.0.2", "9.0.4"}));
}
}  // namespace
