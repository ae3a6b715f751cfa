// The server tests' phones: an MJPEG stream read with the server's framing, a reverse lookup held
// as long as a test wants, and a started server with a log capture (support/test_support.h has
// the loopback requests and the bounded wait).
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/ip_address.h"
#include "link/mjpeg_server.h"
#include "platform/log.h"
#include "support/test_support.h"

namespace qlotest {

// A phone's MJPEG stream, read with the multipart framing the server writes.
class StreamPhone {
public:
    StreamPhone(const char* sourceIp, uint16_t port, const std::string& path = "/stream", int receiveBuffer = 0)
        : fd_(ConnectFrom(sourceIp, port, receiveBuffer)) {
        if (fd_ >= 0) SendText(fd_, Get(path));
    }
    ~StreamPhone() { closeNow(); }
    StreamPhone(const StreamPhone&) = delete;
    StreamPhone& operator=(const StreamPhone&) = delete;

    int fd() const { return fd_; }

    void closeNow() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

    // The stream's head, up to and including the blank line; empty when it does not come.
    std::string readHead() { return readBlock(4096).value_or(""); }

    // The next part's JPEG bytes; nothing when the framing is wrong or the stream ended.
    std::optional<std::string> nextFrame() {
        const std::string prefix = "--frame\r\nContent-Type: image/jpeg\r\nContent-Length: ";
        const std::optional<std::string> header = readBlock(512);
        if (!header || header->compare(0, prefix.size(), prefix) != 0) return std::nullopt;
        const size_t length = std::strtoull(header->c_str() + prefix.size(), nullptr, 10);
        if (*header != prefix + std::to_string(length) + "\r\n\r\n") return std::nullopt;
        std::string jpeg(length + 2, '\0');
        if (!readExact(jpeg.data(), jpeg.size()) || jpeg.compare(length, 2, "\r\n") != 0) return std::nullopt;
        jpeg.resize(length);
        return jpeg;
    }

    // Whether the server closed the stream (end of file, or a reset) within the client timeout.
    bool seesEnd() {
        char buffer[4096];
        ssize_t n;
        while ((n = recv(fd_, buffer, sizeof buffer, 0)) > 0) {
        }
        return n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
    }

private:
    // Bytes up to and including the next blank line (at most `limit` of them).
    std::optional<std::string> readBlock(size_t limit) {
        std::string block;
        while (block.size() < 4 || block.compare(block.size() - 4, 4, "\r\n\r\n") != 0) {
            char c;
            if (block.size() >= limit || !readExact(&c, 1)) return std::nullopt;
            block += c;
        }
        return block;
    }
    bool readExact(char* out, size_t length) {
        return recv(fd_, out, length, MSG_WAITALL) == static_cast<ssize_t>(length);
    }

    int fd_;
};

// A reverse lookup that stays on this machine: names come from a table by IP text, and a lookup
// for a "held" IP waits until the test releases it. Unknown IPs have no name.
class FakeLookup {
public:
    void setName(const std::string& ip, const std::string& name, bool held = false) {
        std::lock_guard<std::mutex> lock(mutex_);
        names_[ip] = {name, held};
    }
    // Releases the lookups of ip, or of every IP.
    void release(const std::string& ip = "") {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& [key, entry] : names_) entry.second = entry.second && !ip.empty() && key != ip;
        cv_.notify_all();
    }
    // Lookups begun and lookups answered.
    std::atomic<int> started{0};
    std::atomic<int> finished{0};

    // The lookup function; the table is shared, so it may outlive the server.
    static NameLookup bind(const std::shared_ptr<FakeLookup>& self) {
        return [self](const sockaddr* address, socklen_t) {
            char ip[64];
            SockAddrToIPString(address, ip, sizeof ip);
            std::unique_lock<std::mutex> lock(self->mutex_);
            ++self->started;
            self->cv_.wait_for(lock, std::chrono::seconds(30), [&] { return !self->names_[ip].second; });
            ++self->finished;
            return self->names_[ip].first;
        };
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::map<std::string, std::pair<std::string, bool>> names_;  // IP text: name, held
};

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        qlo::log::SetStderrEnabled(false);
        server_.setNameLookup(FakeLookup::bind(lookup_));
        port_ = server_.start(0);
        ASSERT_NE(port_, 0);
    }

    // The server-side entry of the phone streaming from ip (fd -1 when there is none); with
    // `wait`, once it is registered.
    ClientInfo entry(const std::string& ip, bool wait = false) {
        ClientInfo found;
        auto find = [&] {
            for (const ClientInfo& c : server_.snapshotClients())
                if (ip == c.ip) found = c;
            return found.fd >= 0;
        };
        if (wait) WaitUntil(find);
        else find();
        return found;
    }

    // The name and camera choice of the phone streaming from ip as "name|camera".
    std::string identity(const std::string& ip, bool wait = false) {
        const ClientInfo e = entry(ip, wait);
        return e.fd < 0 ? "none" : std::string(e.name) + "|" + e.targetCam;
    }

    qlo::log::CaptureSink log_;  // declared first: outlives the server
    std::shared_ptr<FakeLookup> lookup_ = std::make_shared<FakeLookup>();
    MJPEGServer server_;
    uint16_t port_ = 0;
};

}  // namespace qlotest
