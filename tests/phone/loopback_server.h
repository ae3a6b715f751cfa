// Test helpers: a tiny TCP server on an ephemeral loopback port that reads one request per
// connection and lets the test answer it, a UDP socket that collects datagrams, and the texts
// the plug-in's server answers with. Every wait is bounded; the destructors stop and join.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace qlophone::test {

struct SeenRequest {
    std::string text;    // head and body as received
    std::string peerIp;  // the client's address
};

class LoopbackHttpServer {
public:
    // Called on the server thread with the connection and the request; the server closes the
    // connection when it returns.
    using Handler = std::function<void(int fd, const SeenRequest& request)>;

    explicit LoopbackHttpServer(Handler handler, const std::string& bindIp = "127.0.0.1");
    ~LoopbackHttpServer();
    uint16_t port() const { return port_; }
    std::vector<SeenRequest> requests() const;

private:
    Handler handler_;
    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<SeenRequest> requests_;
    std::thread thread_;
};

// A UDP socket that keeps what arrives; datagrams are read while a test waits for them.
class LoopbackUdpReceiver {
public:
    struct Datagram {
        std::vector<uint8_t> bytes;
        std::string sourceIp;
    };
    LoopbackUdpReceiver();
    ~LoopbackUdpReceiver();
    uint16_t port() const { return port_; }
    // Reads until at least `count` datagrams arrived or `limit` passed; returns all that arrived.
    std::vector<Datagram> waitFor(size_t count, std::chrono::milliseconds limit);

private:
    int fd_ = -1;
    uint16_t port_ = 0;
    std::mutex mutex_;
    std::vector<Datagram> datagrams_;
};

// Writes all of a text to a blocking socket; false when the peer went away.
using qlotest::SendText;
// Waits (at most `limit`) until the peer closes the connection.
void WaitForPeerClose(int fd, std::chrono::milliseconds limit);

// The answer texts the plug-in's server sends.
std::string OkAnswer();
std::string RegisterAnswer();
std::string InfoAnswer(uint16_t port, uint16_t controlPort, int clients);
std::string StreamHead();
std::string Part(const std::string& jpeg);
// A small JPEG-shaped byte string (SOI ... EOI) whose payload holds framing-like bytes.
std::string FakeJpeg(int index, size_t payloadBytes = 100);

}  // namespace qlophone::test
