// Tests that bind the product's fixed ports or need a DNS-SD daemon run only inside the private
// network namespace of scripts/netns-run, which sets QLO_NETNS=1; elsewhere they are skipped.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

inline bool InsideTestNetworkNamespace() {
    const char* v = std::getenv("QLO_NETNS");
    return v != nullptr && std::strcmp(v, "1") == 0;
}

#define QLO_REQUIRE_NETNS()                                                                     \
    do {                                                                                        \
        if (!InsideTestNetworkNamespace())                                                      \
            GTEST_SKIP() << "needs the private network namespace with its own DNS-SD daemon "   \
                            "(QLO_NETNS=1): run it through scripts/netns-run";                  \
    } while (0)
