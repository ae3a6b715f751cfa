// The benchmark driver's reading of its tools' output and the figures it derives from it: a
// misread unit or a wrong quantile would put false numbers in the performance table.
#include <gtest/gtest.h>

#include "bench/e2e/http_load.h"
#include "bench/e2e/report.h"
#include "bench/e2e/stats.h"

namespace qb = qlo::bench;
using nlohmann::json;

TEST(WrkReport, ReadsRateAndPercentilesInEveryUnitAndCountsErrors) {
    const json figures = qb::ParseWrkReport(R"(Running 5s test @ http://127.0.0.1:40001/timeline
  Latency Distribution
     50%  540.00us
     90%  0.98ms
     99%    1.20s
  Socket errors: connect 2, read 61234, write 1, timeout 3
  Non-2xx or 3xx responses: 4
Requests/sec:  12246.80
)");
    const std::pair<const char*, double> rates[] = {
        {"rps", 12246.80}, {"p50_ms", 0.54}, {"p90_ms", 0.98}, {"p99_ms", 1200.0}};
    for (const auto& [key, value] : rates) EXPECT_DOUBLE_EQ(figures[key].get<double>(), value) << key;
    // Closing after each answer shows as read errors in wrk; those are not failures.
    EXPECT_EQ(figures["errors"].get<long long>(), 2 + 1 + 3 + 4);
    EXPECT_TRUE(qb::ParseWrkReport("unable to connect to 127.0.0.1:1\n").contains("error"));
}

TEST(Stats, QuantilesInterpolateAndTheLineFitNeedsTwoDistinctPoints) {
    EXPECT_DOUBLE_EQ(qb::Median({4, 1, 3, 2}), 2.5);
    EXPECT_DOUBLE_EQ(qb::Quantile({0, 10}, 0.95), 9.5);
    EXPECT_DOUBLE_EQ(qb::Quantile({}, 0.5), 0);
    const qb::LineFit fit = qb::FitLine({1, 2, 4, 8}, {3, 5, 9, 17});
    EXPECT_NEAR(fit.slope, 2, 1e-12);
    EXPECT_NEAR(fit.intercept, 1, 1e-12);
    EXPECT_NEAR(fit.r2, 1, 1e-12);
    EXPECT_EQ(qb::FitLine({3, 3}, {1, 2}).slope, 0);
}

TEST(MicroResults, MedianOfRepetitionsInCpuTimeAndMicroseconds) {
    const json micro = json::parse(R"({"benchmarks": [
        {"run_name": "BM_A", "run_type": "aggregate", "aggregate_name": "mean", "cpu_time": 900},
        {"run_name": "BM_A", "run_type": "aggregate", "aggregate_name": "median", "cpu_time": 800},
        {"run_name": "BM_B", "run_type": "iteration", "real_time": 3, "cpu_time": 2, "time_unit": "ms"},
        {"run_name": "BM_C", "run_type": "iteration", "error_occurred": true}]})");
    EXPECT_DOUBLE_EQ(qb::MicroMicroseconds(micro, "BM_A"), 0.8);
    EXPECT_DOUBLE_EQ(qb::MicroMicroseconds(micro, "BM_B"), 2000);
    EXPECT_LT(qb::MicroMicroseconds(micro, "BM_C"), 0);
    EXPECT_LT(qb::MicroMicroseconds(micro, "BM_Missing"), 0);
}

TEST(Report, VerdictsFollowTheTargets) {
    const json passes1 = {{"median", 1.0}, {"p95", 2.0}}, passes2 = {{"median", 2.0}};
    json results = {{"streams", json::array({{{"phones", 1}, {"fps_min", 57.0}, {"pass_ms", passes1}},
                                             {{"phones", 2}, {"fps_min", 50.0}, {"pass_ms", passes2}}})},
                    // Floors 9 ms average and 18 ms worst: 13.5 and 21.6 are exactly at the targets.
                    {"latency", {{"1", {{"median_ms", 13.5}, {"p95_ms", 21.7}}}}}};
    qb::BuildReport(results);
    std::map<std::string, std::string> verdicts;
    for (const auto& row : results["table"]) verdicts[row["figure"]] = row["verdict"];
    const std::string fps = "frames per second each phone receives, ";
    EXPECT_EQ(verdicts[fps + "1 phone(s) (lowest)"], "met");
    EXPECT_EQ(verdicts[fps + "2 phone(s) (lowest)"], "NOT met");
    EXPECT_EQ(verdicts["motion-to-photon latency, 1 phone(s) (median / p95)"].rfind("NOT met", 0), 0u);
    EXPECT_NEAR(results["fits"]["pass_ms_per_phone"].get<double>(), 1.0, 1e-12);
}
