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
        sockaddr_storage local;
        if (fd_ >= 0 && (!address(sourceIP.c_str(), 0, local) ||
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
        sockaddr_storage to;
        address(v6_ ? "::1" : "127.0.0.1", port, to);
        return sendto(fd_, data, size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) ==
               static_cast<ssize_t>(size);
    }
    // A sample, or a reset (whose floats are never read).
    bool sendSample(uint16_t port, const std::array<float, 6>& values,
                    MotionDatagramType type = MotionDatagramType::Sample) const {
        const auto bytes = EncodeMotionDatagram(type, values);
        return sendRaw(port, bytes.data(), bytes.size());
    }
    bool sendReset(uint16_t port) const {
        return sendSample(port, {9, 9, 9, 9, 9, 9}, MotionDatagramType::Reset);
    }

private:
    // The socket address of `ip` in the phone's family; false when ip is not one.
    bool address(const char* ip, uint16_t port, sockaddr_storage& s) const {
        s = {};
        auto* a6 = reinterpret_cast<sockaddr_in6*>(&s);
        auto* a4 = reinterpret_cast<sockaddr_in*>(&s);
        s.ss_family = v6_ ? AF_INET6 : AF_INET;
        (v6_ ? a6->sin6_port : a4->sin_port) = htons(port);
        return inet_pton(s.ss_family, ip, v6_ ? static_cast<void*>(&a6->sin6_addr) : &a4->sin_addr) == 1;
    }

    bool v6_;
    int fd_ = -1;
};
