// The host log sink: bounded, and switchable off for long-running processes.
#include <gtest/gtest.h>

#include <string>

#include "launcher/log.h"

TEST(HostLog, KeepsAtMostItsLimitAndTheNewestLines) {
    hostLogClear();
    for (size_t i = 0; i < kHostLogLineLimit * 3 + 7; ++i) logMessage("line %d", static_cast<int>(i));
    const std::vector<std::string>& lines = hostLogLines();
    EXPECT_LE(lines.size(), kHostLogLineLimit);
    EXPECT_GE(lines.size(), kHostLogLineLimit / 2);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "line " + std::to_string(kHostLogLineLimit * 3 + 6));
    EXPECT_EQ(lines.front(), "line " + std::to_string(kHostLogLineLimit * 3 + 7 - lines.size()))
        << "the kept lines are the most recent ones, in order";

    hostLogClear();
    hostLogKeepLines(false);
    logError("dropped %s", "x");
    hostLogKeepLines(true);
    logError("kept %s", "y");
    EXPECT_EQ(hostLogLines(), (std::vector<std::string>{"ERROR: kept y"}));
    hostLogClear();
}
