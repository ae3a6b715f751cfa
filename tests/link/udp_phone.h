// A stand-in phone for the motion tests: a UDP socket bound to its own loopback source address
// (127.0.0.2, 127.0.0.3 ... or ::1), so that each simulated phone has its own IP text, sending
// to the receiver on this machine's loopback.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <string>

#include "link/motion_datagram.h"
#include "tests/link/datagram_encoder.h"
#include "support/test_support.h"

using qlotest::WaitUntil;

class UdpPhone {
public:
    // sourceIP: an IPv4 loopback address (127.x.y.z) or "::1".
    explicit UdpPhone(const std::string& sourceIP) : v6_(sourceIP.find(':') != std::string::npos) {
        fd_ = socket(v6_ ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const sockaddr_storage local = address(sourceIP.c_str(), 0);
        if (fd_ >= 0 && (local.ss_family == AF_UNSPEC ||
                         bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~UdpPhone() {
        if (fd_ >= 0) close(fd_);
    }
    UdpPhone(const UdpPhone&) = delete;
    UdpPhone& operator=(const UdpPhone&) = delete;

    bool ok() const { return fd_ >= 0; }

    // Sends raw bytes to the loopback address of the phone's family (127.0.0.1 or ::1).
    bool sendRaw(uint16_t port, const void* data, size_t size) const {
        const sockaddr_storage to = address(v6_ ? "::1" : "127.0.0.1", port);
        return sendto(fd_, data, size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) ==
               static_cast<ssize_t>(size);
    }
    bool sendSample(uint16_t port, const std::array<float, 6>& values) const {
        const auto bytes = EncodeMotionDatagram(MotionDatagramType::Sample, values);
        return sendRaw(port, bytes.data(), bytes.size());
    }
    bool sendReset(uint16_t port) const {
        const auto bytes = EncodeMotionDatagram(MotionDatagramType::Reset, {9, 9, 9, 9, 9, 9});  // floats unused
        return sendRaw(port, bytes.data(), bytes.size());
    }

private:
    // The socket address of `ip` in the phone's family; family AF_UNSPEC when ip is not one.
    sockaddr_storage address(const char* ip, uint16_t port) const {
        sockaddr_storage s{};
        auto* a6 = reinterpret_cast<sockaddr_in6*>(&s);
        auto* a4 = reinterpret_cast<sockaddr_in*>(&s);
        const bool parsed = v6_ ? inet_pton(AF_INET6, ip, &a6->sin6_addr) == 1 : inet_pton(AF_INET, ip, &a4->sin_addr) == 1;
        if (v6_) a6->sin6_port = htons(port);
        else a4->sin_port = htons(port);
        s.ss_family = !parsed ? AF_UNSPEC : v6_ ? AF_INET6 : AF_INET;
        return s;
    }

    bool v6_;
    int fd_ = -1;
};
