// The server's complete sends: each says whether everything left, also when the phone has gone,
// stopped reading, or the time for the send is up.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "link/socket_io.h"

TEST(SocketIO, ASendSaysWhetherEverythingLeft) {
    signal(SIGPIPE, SIG_IGN);  // as the server has it: a write to a closed peer fails instead
    int s[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, s), 0);
    EXPECT_TRUE(SendAll(s[0], "frame"));
    char got[8] = {};
    EXPECT_EQ(recv(s[1], got, sizeof got, 0), 5);
    const auto now = std::chrono::steady_clock::now();
    EXPECT_FALSE(SendAllBefore(s[0], "late", 4, now - std::chrono::milliseconds(1)));
    EXPECT_TRUE(SendAllBefore(s[0], "soon", 4, now + std::chrono::seconds(5)));
    EXPECT_EQ(recv(s[1], got, sizeof got, 0), 4) << "the late send sent nothing";

    // A peer that stops reading: once the buffers are full the send times out.
    const timeval limit{0, 20000};
    setsockopt(s[0], SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    const std::string big(8 << 20, 'x');
    EXPECT_FALSE(SendAll(s[0], big));
    EXPECT_FALSE(SendAllBefore(s[0], big.data(), big.size(), now + std::chrono::seconds(5)));
    close(s[1]);
    EXPECT_FALSE(SendAll(s[0], "frame")) << "the peer has gone";
    close(s[0]);
}
