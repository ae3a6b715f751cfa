// The basic suite over the registry: acquire and release counting, missing suites, blocks.
#include <gtest/gtest.h>

#include "hostsim/suite_registry.h"

namespace {

using qlo::hostsim::SuiteRegistry;

struct FakeTable {
    int marker;
};
const FakeTable kTableV1{1};
const FakeTable kTableV2{2};

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        registry.clear();
        registry.add("Fake Suite", 1, &kTableV1);
        registry.add("Fake Suite", 2, &kTableV2);
    }
    void TearDown() override { registry.clear(); }

    SuiteRegistry& registry = SuiteRegistry::instance();
    SPBasicSuite* basic = SuiteRegistry::instance().basic();
};

TEST_F(RegistryTest, AcquireGivesTheTableOfThatVersionAndCountsPerSuite) {
    const void* suite = nullptr;
    ASSERT_EQ(basic->AcquireSuite("Fake Suite", 2, &suite), kSPNoError);
    EXPECT_EQ(static_cast<const FakeTable*>(suite)->marker, 2);
    ASSERT_EQ(basic->AcquireSuite("Fake Suite", 2, &suite), kSPNoError);
    ASSERT_EQ(basic->AcquireSuite("Fake Suite", 1, &suite), kSPNoError);
    EXPECT_EQ(static_cast<const FakeTable*>(suite)->marker, 1);

    EXPECT_EQ(registry.outstanding("Fake Suite", 2), 2);
    EXPECT_EQ(registry.outstanding("Fake Suite", 1), 1);
    EXPECT_EQ(registry.outstandingTotal(), 3);

    EXPECT_EQ(basic->ReleaseSuite("Fake Suite", 2), kSPNoError);
    EXPECT_EQ(registry.outstanding("Fake Suite", 2), 1);
    EXPECT_EQ(registry.acquired("Fake Suite", 2), 2);  // ever acquired does not go down
    EXPECT_EQ(registry.outstandingTotal(), 2);
    EXPECT_EQ(registry.unbalancedReleases(), 0);

    // Replacing a table keeps the outstanding acquisitions.
    registry.add("Fake Suite", 1, &kTableV2);
    EXPECT_EQ(registry.outstanding("Fake Suite", 1), 1);
    ASSERT_EQ(basic->AcquireSuite("Fake Suite", 1, &suite), kSPNoError);
    EXPECT_EQ(static_cast<const FakeTable*>(suite)->marker, 2);
}

TEST_F(RegistryTest, MissingNameOrVersionFailsAndLeavesTheOutPointerAlone) {
    const void* sentinel = &kTableV1;
    const void* suite = sentinel;
    EXPECT_EQ(basic->AcquireSuite("No Such Suite", 1, &suite), kSPSuiteNotFoundError);
    EXPECT_EQ(suite, sentinel);
    EXPECT_EQ(basic->AcquireSuite("Fake Suite", 3, &suite), kSPSuiteNotFoundError);
    EXPECT_EQ(suite, sentinel);
    EXPECT_EQ(registry.outstandingTotal(), 0);

    EXPECT_EQ(basic->AcquireSuite("Fake Suite", 1, nullptr), kSPBadParameterError);

    registry.remove("Fake Suite", 1);
    EXPECT_EQ(basic->AcquireSuite("Fake Suite", 1, &suite), kSPSuiteNotFoundError);
    EXPECT_EQ(suite, sentinel);
}

TEST_F(RegistryTest, ReleasingMoreThanAcquiredIsAnErrorAndCounted) {
    const void* suite = nullptr;
    ASSERT_EQ(basic->AcquireSuite("Fake Suite", 1, &suite), kSPNoError);
    EXPECT_EQ(basic->ReleaseSuite("Fake Suite", 1), kSPNoError);
    EXPECT_NE(basic->ReleaseSuite("Fake Suite", 1), kSPNoError);
    EXPECT_NE(basic->ReleaseSuite("Never Offered", 1), kSPNoError);
    EXPECT_EQ(registry.unbalancedReleases(), 2);
    // The faulty release did not drive the count below zero.
    EXPECT_EQ(registry.outstanding("Fake Suite", 1), 0);
    ASSERT_EQ(basic->AcquireSuite("Fake Suite", 1, &suite), kSPNoError);
    EXPECT_EQ(registry.outstanding("Fake Suite", 1), 1);
}

}  // namespace
