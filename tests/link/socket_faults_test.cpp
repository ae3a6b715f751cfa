// What the server and the motion receiver do when the system's sockets fail: no IPv6 sockets at
// all (they fall back to IPv4), and no descriptor left for a phone's connection (the accept loop
// pauses and takes it once descriptors are free again), and a host started without standard
// input, whose listening socket gets descriptor 0. Each case runs in a child process, as the
// socket filter, the descriptor limit and the closed input hold for the whole process.
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>

#include <cstddef>

#include "link/motion_receiver.h"
#include "server_test_support.h"
#include "udp_phone.h"

using namespace qlotest;

namespace {

// From here on, socket(AF_INET6, ...) fails with EAFNOSUPPORT in this process.
bool RefuseIPv6Sockets() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_socket, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AF_INET6, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EAFNOSUPPORT),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program = {static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// Exits the child with `code` unless `ok`: the exit code names the step that failed.
void Step(bool ok, int code) {
    if (!ok) std::_Exit(code);
}

[[noreturn]] void ServeWithoutIPv6() {
    qlo::log::SetStderrEnabled(false);
    Step(RefuseIPv6Sockets() && socket(AF_INET6, SOCK_DGRAM, 0) < 0, 10);
    MJPEGServer server;
    server.setNameLookup([](const sockaddr*, socklen_t) { return std::string(); });
    const uint16_t port = server.start(0);
    Step(port != 0, 11);
    Step(Exchange(port, Get("/info"), "127.0.0.2").find("\"service\":\"quillo\"") != std::string::npos, 12);
    StreamPhone phone("127.0.0.3", port);
    Step(!phone.readHead().empty() && WaitUntil([&] { return server.clientCount() == 1; }), 13);
    Step(std::string(server.snapshotClients()[0].ip) == "127.0.0.3", 14);
    MotionReceiver receiver;
    const uint16_t motionPort = receiver.start(0);
    Step(motionPort != 0, 15);
    UdpPhone udp("127.0.0.3");
    PerSenderMotion m;
    Step(udp.sendSample(motionPort, {1, 2, 3, 4, 5, 6}), 16);
    Step(WaitUntil([&] { return receiver.consumeMotionForSender("127.0.0.3", m); }), 17);
    std::_Exit(0);
}

[[noreturn]] void ServeAPhoneWaitingForADescriptor() {
    qlo::log::SetStderrEnabled(false);
    MJPEGServer server;
    server.setNameLookup([](const sockaddr*, socklen_t) { return std::string(); });
    const uint16_t port = server.start(0);
    Step(port != 0, 10);
    // Every descriptor below a lowered limit taken, then a phone connects: the kernel
    // queues it, the server cannot accept it.
    const rlim_t room = static_cast<rlim_t>(CountProcEntries("fd") + 8);
    const rlimit limit = {room, room};
    Step(setrlimit(RLIMIT_NOFILE, &limit) == 0, 11);
    std::vector<int> fillers;
    for (int f; (f = open("/dev/null", O_RDONLY)) >= 0;) fillers.push_back(f);
    close(fillers.back());  // the phone's own socket takes the last one
    fillers.pop_back();
    const int phone = ConnectFrom("127.0.0.2", port);
    Step(phone >= 0 && SendText(phone, Get("/info")), 12);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the accept fails meanwhile
    for (int f : fillers) close(f);
    Step(ReadToEnd(phone).find("\"service\":\"quillo\"") != std::string::npos, 13);
    std::_Exit(0);
}

// A host started without standard input: the server's listening socket may get descriptor 0,
// which is a socket like any other, not a failure.
[[noreturn]] void ServeWithStandardInputClosed() {
    qlo::log::SetStderrEnabled(false);
    MJPEGServer server;
    server.setNameLookup([](const sockaddr*, socklen_t) { return std::string(); });
    close(0);
    const uint16_t port = server.start(0);
    Step(port != 0, 10);
    sockaddr_storage bound = {};
    socklen_t size = sizeof bound;
    int accepting = 0;
    socklen_t flagSize = sizeof accepting;
    Step(getsockname(0, reinterpret_cast<sockaddr*>(&bound), &size) == 0, 11);
    Step(getsockopt(0, SOL_SOCKET, SO_ACCEPTCONN, &accepting, &flagSize) == 0 && accepting == 1, 12);
    const uint16_t boundPort = bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                                           : reinterpret_cast<sockaddr_in*>(&bound)->sin_port;
    Step(ntohs(boundPort) == port, 13);
    Step(Exchange(port, Get("/info"), "127.0.0.2").find("\"service\":\"quillo\"") != std::string::npos, 14);
    std::_Exit(0);
}

TEST(SocketFaults, WithoutIPv6SocketsServerAndReceiverListenOnIPv4) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ServeWithoutIPv6(), ::testing::ExitedWithCode(0), "");
}

TEST(SocketFaults, APhoneArrivingWhenDescriptorsRunOutIsServedOnceTheyAreFree) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
#if defined(__SANITIZE_ADDRESS__)
    // UBSan checks a dynamic type by reading memory through a pipe. With every descriptor taken
    // it cannot, and it reports any object a server thread touches meanwhile as invalid. The
    // plain and ThreadSanitizer builds run this case.
    GTEST_SKIP() << "the sanitizer's own checks need free descriptors";
#endif
    EXPECT_EXIT(ServeAPhoneWaitingForADescriptor(), ::testing::ExitedWithCode(0), "");
}

TEST(SocketFaults, WithStandardInputClosedTheServerListensOnDescriptorZero) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ServeWithStandardInputClosed(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
