// A stand-in phone for the motion tests: a UDP socket bound to its own loopback source address
// (127.0.0.2, 127.0.0.3 ...), so that each simulated phone has its own IP text, sending to the
// receiver on 127.0.0.1.
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
    explicit UdpPhone(const std::string& sourceIP) : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        const sockaddr_in local = Address(sourceIP.c_str(), 0);
        if (fd_ >= 0 && bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
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

    bool sendRaw(uint16_t port, const void* data, size_t size) const {
        const sockaddr_in to = Address("127.0.0.1", port);
        return sendto(fd_, data, size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) ==
               static_cast<ssize_t>(size);
    }
    bool sendSample(uint16_t port, const std::array<float, 6>& values,
                    MotionDatagramType type = MotionDatagramType::Sample) const {
        const auto bytes = EncodeMotionDatagram(type, values);
        return sendRaw(port, bytes.data(), bytes.size());
    }
    // A reset, whose floats are never read.
    bool sendReset(uint16_t port) const { return sendSample(port, {9, 9, 9, 9, 9, 9}, MotionDatagramType::Reset); }

private:
    static sockaddr_in Address(const char* ip, uint16_t port) {
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        inet_pton(AF_INET, ip, &a.sin_addr);
        return a;
    }

    int fd_;
};
