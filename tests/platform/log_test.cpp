#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/log.h"

using namespace qlo::log;

namespace {

// Tests run with standard error off (their lines would only be noise), except the one that
// checks standard error itself.
class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetStderrEnabled(false);
        SetInfoEnabled(true);
    }
    void TearDown() override {
        SetStderrEnabled(true);
        SetInfoEnabled(true);
    }
};

TEST_F(LogTest, PlainLogFormatsLikePrintf) {
    CaptureSink cap;
    Log("[Quillo] n=%d s=%s f=%.2f", 42, "text", 1.5);
    ASSERT_EQ(cap.lines().size(), 1u);
    EXPECT_EQ(cap.lines()[0], "[Quillo] n=42 s=text f=1.50");
}

TEST_F(LogTest, InfoPublicMarkersFormatLikeS) {
    CaptureSink cap;
    LogInfo("[Quillo] a=%{public}s b=%d c=%{public}@ d=%{private}s e=%@ f=%{public}5d 100%%", "x", 7,
            "y", "z", "w", 3);
    ASSERT_EQ(cap.lines().size(), 1u);
    EXPECT_EQ(cap.lines()[0], "[Quillo] a=x b=7 c=y d=z e=w f=    3 100%");
}

TEST_F(LogTest, ConvertUnifiedFormat) {
    EXPECT_EQ(ConvertUnifiedFormat("%{public}s"), "%s");
    EXPECT_EQ(ConvertUnifiedFormat("%{public}@"), "%s");
    EXPECT_EQ(ConvertUnifiedFormat("%@ and %{private}@"), "%s and %s");
    EXPECT_EQ(ConvertUnifiedFormat("%{public, name=x}-10s|%{public}lld"), "%-10s|%lld");
    EXPECT_EQ(ConvertUnifiedFormat("%%{public}s stays"), "%%{public}s stays");
    EXPECT_EQ(ConvertUnifiedFormat("plain %d %s"), "plain %d %s");
    EXPECT_EQ(ConvertUnifiedFormat(""), "");
    EXPECT_EQ(ConvertUnifiedFormat(nullptr), "");
}

TEST_F(LogTest, InfoOffDropsInfoLinesOnly) {
    CaptureSink cap;
    EXPECT_TRUE(InfoEnabled());
    SetInfoEnabled(false);
    EXPECT_FALSE(InfoEnabled());
    LogInfo("[Quillo] info %{public}s", "hidden");
    Log("[Quillo] plain");
    SetInfoEnabled(true);
    LogInfo("[Quillo] info %{public}s", "shown");
    EXPECT_EQ(cap.lines(), (std::vector<std::string>{"[Quillo] plain", "[Quillo] info shown"}));
}

TEST_F(LogTest, SinkReceivesLevels) {
    std::vector<std::pair<Level, std::string>> seen;
    int id = AddSink([&](Level level, const std::string& line) { seen.emplace_back(level, line); });
    Log("plain");
    LogInfo("info");
    RemoveSink(id);
    Log("after removal");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].first, Level::Plain);
    EXPECT_EQ(seen[1].first, Level::Info);
    EXPECT_EQ(seen[1].second, "info");
}

TEST_F(LogTest, LongLinesAreNotTruncated) {
    CaptureSink cap;
    std::string big(100000, 'x');
    big += "END";
    Log("[Quillo] %s", big.c_str());
    LogInfo("[Quillo] %{public}s!", big.c_str());
    std::string longFormat = "[Quillo] " + std::string(5000, 'f') + " %d";
    Log(longFormat.c_str(), 9);  // NOLINT: a non-literal format on purpose
    auto lines = cap.lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "[Quillo] " + big);
    EXPECT_EQ(lines[1], "[Quillo] " + big + "!");
    EXPECT_EQ(lines[2], "[Quillo] " + std::string(5000, 'f') + " 9");
}

TEST_F(LogTest, TrailingNewlineIsStripped) {
    CaptureSink cap;
    Log("[Quillo] with newline\n");
    EXPECT_EQ(cap.lines(), std::vector<std::string>{"[Quillo] with newline"});
}

TEST_F(LogTest, CaptureSinkQueries) {
    {
        CaptureSink cap;
        Log("[Quillo] one apple");
        Log("[Quillo] two apples");
        Log("[Quillo] a pear");
        EXPECT_EQ(cap.count("apple"), 2u);
        EXPECT_TRUE(cap.contains("pear"));
        EXPECT_FALSE(cap.contains("plum"));
        EXPECT_EQ(cap.matching("apple"),
                  (std::vector<std::string>{"[Quillo] one apple", "[Quillo] two apples"}));
        cap.clear();
        EXPECT_TRUE(cap.lines().empty());
        Log("[Quillo] after clear");
        EXPECT_EQ(cap.lines().size(), 1u);
    }
    // A capture sees only the lines written during its lifetime.
    Log("[Quillo] between");
    CaptureSink later;
    Log("[Quillo] later");
    EXPECT_EQ(later.lines(), std::vector<std::string>{"[Quillo] later"});
}

TEST_F(LogTest, ManyThreadsLinesArriveWholeAndInOrder) {
    CaptureSink cap;
    // A sink with no lock of its own: the log's lock serializes the calls.
    std::vector<std::string> unlocked;
    int id = AddSink([&](Level, const std::string& line) { unlocked.push_back(line); });
    constexpr int kThreads = 8, kLines = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) {
                if (i % 2)
                    Log("[Quillo] t=%d i=%d", t, i);
                else
                    LogInfo("[Quillo] t=%{public}s i=%d", std::to_string(t).c_str(), i);
            }
        });
    for (auto& th : threads) th.join();
    RemoveSink(id);
    auto lines = cap.lines();
    ASSERT_EQ(lines.size(), size_t(kThreads * kLines));
    EXPECT_EQ(lines, unlocked);  // both sinks saw the same order
    std::vector<int> next(kThreads, 0);
    for (const auto& line : lines) {
        int t = -1, i = -1, end = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "[Quillo] t=%d i=%d%n", &t, &i, &end), 2) << line;
        ASSERT_EQ(size_t(end), line.size()) << line;
        ASSERT_TRUE(t >= 0 && t < kThreads) << line;
        EXPECT_EQ(i, next[t]);
        next[t] = i + 1;
    }
}

TEST_F(LogTest, StderrHasTimestampAndCanBeTurnedOff) {
    SetStderrEnabled(true);
    ::testing::internal::CaptureStderr();
    Log("[Quillo] to stderr %d", 1);
    std::string out = ::testing::internal::GetCapturedStderr();
    // "YYYY-MM-DD HH:MM:SS.mmm <line>\n"
    const std::string stampShape = "dddd-dd-dd dd:dd:dd.ddd ";
    ASSERT_EQ(out.size(), stampShape.size() + std::string("[Quillo] to stderr 1\n").size()) << out;
    for (size_t k = 0; k < stampShape.size(); ++k) {
        if (stampShape[k] == 'd')
            EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(out[k]))) << out;
        else
            EXPECT_EQ(out[k], stampShape[k]) << out;
    }
    EXPECT_EQ(out.substr(stampShape.size()), "[Quillo] to stderr 1\n");

    SetStderrEnabled(false);
    CaptureSink cap;
    ::testing::internal::CaptureStderr();
    Log("[Quillo] not to stderr");
    out = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "");
    EXPECT_TRUE(cap.contains("not to stderr"));  // sinks still get it
}

TEST_F(LogTest, SinkThatLogsDoesNotDeadlock) {
    CaptureSink cap;
    int id = AddSink([](Level, const std::string& line) {
        if (line == "[Quillo] outer") Log("[Quillo] from sink");
    });
    Log("[Quillo] outer");
    RemoveSink(id);
    // The nested line goes to standard error only, never back into the sinks.
    EXPECT_EQ(cap.lines(), std::vector<std::string>{"[Quillo] outer"});
}

}  // namespace
