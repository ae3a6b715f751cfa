// The log: printf formats and the unified-log annotations, any length, info lines that can be
// turned off, sinks that see every line whole and in one order from many threads, and a sink
// that logs.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/log.h"

using namespace qlo::log;

namespace {

// Standard error is off (its lines would only be noise) except where a test checks it.
class LogTest : public ::testing::Test {
protected:
    void SetUp() override { SetStderrEnabled(false), SetInfoEnabled(true); }
    void TearDown() override { SetStderrEnabled(true), SetInfoEnabled(true); }
};

TEST_F(LogTest, FormatsLikePrintfWithoutTruncationOrTrailingNewline) {
    CaptureSink cap;
    Log("[Quillo] n=%d s=%s f=%.2f\n", 42, "text", 1.5);
    LogInfo("[Quillo] a=%{public}s b=%d c=%{public}@ d=%{private}s e=%@ f=%{public}5d 100%%", "x", 7, "y", "z",
            "w", 3);
    const std::string big = std::string(100000, 'x') + "END";
    LogInfo("[Quillo] %{public}s!", big.c_str());
    const std::string longFormat = "[Quillo] " + std::string(5000, 'f') + " %d";
    Log(longFormat.c_str(), 9);  // NOLINT: a non-literal format on purpose
    EXPECT_EQ(cap.lines(), (std::vector<std::string>{"[Quillo] n=42 s=text f=1.50",
                                                     "[Quillo] a=x b=7 c=y d=z e=w f=    3 100%",
                                                     "[Quillo] " + big + "!",
                                                     "[Quillo] " + std::string(5000, 'f') + " 9"}));
    EXPECT_EQ(ConvertUnifiedFormat("%{public, name=x}-10s|%{public}lld"), "%-10s|%lld");
    EXPECT_EQ(ConvertUnifiedFormat("%%{public}s stays"), "%%{public}s stays");
    EXPECT_EQ(ConvertUnifiedFormat(nullptr), "");
}

TEST_F(LogTest, InfoOffDropsInfoLinesOnlySinksSeeLevelsUntilRemovedAndASinkMayLog) {
    CaptureSink cap;
    std::vector<Level> levels;
    int id = AddSink([&](Level level, const std::string& line) {
        levels.push_back(level);
        if (line == "[Quillo] plain") Log("[Quillo] from sink");  // to standard error only
    });
    SetInfoEnabled(false);
    LogInfo("[Quillo] info %{public}s", "hidden");
    Log("[Quillo] plain");
    SetInfoEnabled(true);
    LogInfo("[Quillo] info %{public}s", "shown");
    RemoveSink(id);
    Log("[Quillo] after removal");
    EXPECT_EQ(levels, (std::vector<Level>{Level::Plain, Level::Info}));
    EXPECT_EQ(cap.lines(),
              (std::vector<std::string>{"[Quillo] plain", "[Quillo] info shown", "[Quillo] after removal"}));
}

TEST_F(LogTest, ManyThreadsLinesArriveWholeAndInOrder) {
    CaptureSink cap;
    constexpr int kThreads = 8, kLines = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) {
                if (i % 2) Log("[Quillo] t=%d i=%d", t, i);
                else LogInfo("[Quillo] t=%{public}s i=%d", std::to_string(t).c_str(), i);
            }
        });
    for (auto& th : threads) th.join();
    const auto lines = cap.lines();
    ASSERT_EQ(lines.size(), size_t(kThreads * kLines));
    std::vector<int> next(kThreads, 0);
    for (const auto& line : lines) {
        int t = -1, i = -1, end = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "[Quillo] t=%d i=%d%n", &t, &i, &end), 2) << line;
        ASSERT_TRUE(size_t(end) == line.size() && t >= 0 && t < kThreads) << line;
        EXPECT_EQ(i, next[t]++);
    }
}

}  // namespace
