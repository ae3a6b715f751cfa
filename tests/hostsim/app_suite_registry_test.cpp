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
    for (int version : {2, 2, 1}) {
        ASSERT_EQ(basic->AcquireSuite("Fake Suite", version, &suite), kSPNoError);
        EXPECT_EQ(static_cast<const FakeTable*>(suite)->marker, version);
    }
    EXPECT_EQ(basic->ReleaseSuite("Fake Suite", 2), kSPNoError);
    EXPECT_EQ(std::tuple(registry.outstanding("Fake Suite", 2), registry.outstanding("Fake Suite", 1),
                         registry.acquired("Fake Suite", 2), registry.outstandingTotal()),
              std::tuple(1, 1, 2, 2));

    // Replacing a table keeps the outstanding acquisitions.
    registry.add("Fake Suite", 1, &kTableV2);
    EXPECT_EQ(registry.outstanding("Fake Suite", 1), 1);
    ASSERT_EQ(basic->AcquireSuite("Fake Suite", 1, &suite), kSPNoError);
    EXPECT_EQ(static_cast<const FakeTable*>(suite)->marker, 2);
}

TEST_F(RegistryTest, MissingSuitesAndUnbalancedReleasesAreErrors) {
    const void* sentinel = &kTableV1;
    const void* suite = sentinel;
    registry.remove("Fake Suite", 2);
    for (auto [name, version] :
         {std::pair("No Such Suite", 1), std::pair("Fake Suite", 3), std::pair("Fake Suite", 2)}) {
        EXPECT_EQ(basic->AcquireSuite(name, version, &suite), kSPSuiteNotFoundError) << name << version;
    }
    EXPECT_EQ(suite, sentinel);
    EXPECT_EQ(basic->AcquireSuite("Fake Suite", 1, nullptr), kSPBadParameterError);
    EXPECT_EQ(registry.outstandingTotal(), 0);

    ASSERT_EQ(basic->AcquireSuite("Fake Suite", 1, &suite), kSPNoError);
    EXPECT_EQ(basic->ReleaseSuite("Fake Suite", 1), kSPNoError);
    EXPECT_NE(basic->ReleaseSuite("Fake Suite", 1), kSPNoError);
    EXPECT_NE(basic->ReleaseSuite("Never Offered", 1), kSPNoError);
    EXPECT_EQ(registry.unbalancedReleases(), 2);
    // The faulty release did not drive the count below zero.
    ASSERT_EQ(basic->AcquireSuite("Fake Suite", 1, &suite), kSPNoError);
    EXPECT_EQ(registry.outstanding("Fake Suite", 1), 1);
}

}  // namespace
