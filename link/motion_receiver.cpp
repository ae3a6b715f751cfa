#include "link/motion_receiver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "link/ip_address.h"
#include "link/motion_datagram.h"
#include "platform/log.h"

using qlo::log::Log;

namespace {

// SO_REUSEADDR on a UDP socket has no purpose here (UDP has no TIME_WAIT to skip), and on Linux
// it lets a second socket bind the very same wildcard address and port, after which the newest
// socket silently takes every datagram: a second receiver on the motion port would "start" and
// starve the first. Elsewhere (BSD, macOS) it does not allow that, so it is kept there.
void AllowAddressReuse([[maybe_unused]] int fd) {
#ifndef __linux__
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
#endif
}

// A dual-stack IPv6 socket bound to the wildcard address, so that IPv4 phones arrive on it as
// IPv4-mapped addresses. -1 when it cannot be created or bound.
int BindDualStack(uint16_t port) {
    int fd = socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    AllowAddressReuse(fd);
    int zero = 0;
    setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &zero, sizeof zero);
    sockaddr_in6 addr{};
    addr.sin6_family = AF_INET6;
    addr.sin6_addr = in6addr_any;
    addr.sin6_port = htons(port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int BindIPv4(uint16_t port) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    AllowAddressReuse(fd);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons(port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::optional<uint16_t> BoundPort(int fd) {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return std::nullopt;
    if (addr.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&addr)->sin6_port);
    if (addr.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(&addr)->sin_port);
    return std::nullopt;
}

}  // namespace

MotionReceiver::MotionReceiver() = default;

MotionReceiver::~MotionReceiver() { stop(); }

uint16_t MotionReceiver::start(uint16_t port) {
    if (running_.load()) return port_;

    int fd = BindDualStack(port);
    if (fd < 0) fd = BindIPv4(port);
    if (fd < 0) return 0;
    std::optional<uint16_t> bound = BoundPort(fd);
    if (!bound) {
        close(fd);
        return 0;
    }

    port_ = *bound;
    socket_ = fd;
    running_.store(true);
    Log("[Quillo] MotionReceiver listening on UDP port %d", static_cast<int>(port_));

    queue_ = qlo::dispatch::CreateSerial("com.quillo.motion-receiver");
    queue_->async([this, fd] { receiveLoop(fd); });
    return port_;
}

void MotionReceiver::stop() {
    running_.store(false);
    if (socket_ >= 0) {
        // Wake the loop blocked in recvfrom. On Linux closing the descriptor does not do that;
        // shutting it down does: on an unconnected UDP socket shutdown reports ENOTCONN, yet it
        // marks the socket shut for reading and wakes the waiting thread, whose recvfrom then
        // returns 0 (and keeps doing so once the queued datagrams are read).
        shutdown(socket_, SHUT_RDWR);
    }
    // Dropping the queue waits for the loop to end. Only then is the descriptor closed: closed
    // earlier, its number could be reused by another socket of the process before the loop's
    // next recvfrom, which would then read (or block on) someone else's socket.
    queue_.reset();
    if (socket_ >= 0) {
        close(socket_);
        socket_ = -1;
    }
}

void MotionReceiver::receiveLoop(int fd) {
    uint8_t buffer[kMotionReceiveLimit];
    bool reportedFull = false;
    while (running_.load()) {
        sockaddr_storage from;  // 128 bytes: room for any address family
        from.ss_family = AF_UNSPEC;
        socklen_t fromLen = sizeof from;
        ssize_t n = recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from),
                             &fromLen);
        if (n < 0) {
            if (errno == EINTR) continue;  // a signal is no reason to stop hearing the phones
            if (running_.load())
                Log("[Quillo Motion] Receive failed (%s); motion stays off until the receiver "
                    "is restarted", std::strerror(errno));
            return;
        }
        // Short datagrams, unknown types and samples with non-finite values are dropped without
        // a trace; so is the empty read that ends the loop after stop.
        std::optional<MotionDatagram> datagram =
            DecodeMotionDatagram(buffer, static_cast<size_t>(n));
        if (!datagram) continue;

        char ip[64];
        SockAddrToIPString(reinterpret_cast<const sockaddr*>(&from), ip, sizeof ip);
        float values[6];
        for (size_t i = 0; i < 6; ++i) values[i] = datagram->values[i];
        const bool isReset = datagram->type == MotionDatagramType::Reset;
        if (!store(ip, isReset, values) && !reportedFull) {
            reportedFull = true;
            Log("[Quillo Motion] %zu senders known, each with a stream; ignoring datagrams from new sender %s",
                kMaxSenders, ip);
        }
    }
}

bool MotionReceiver::store(const char* ip, bool isReset, const float (&values)[6]) {
    {
        std::lock_guard<std::mutex> lock(sendersMutex_);
        SenderEntry* entry = nullptr;
        if (ip[0] != '\0') {
            auto it = senders_.find(std::string_view(ip));
            if (it == senders_.end()) {
                if (senders_.size() >= kMaxSenders && !forgetStalestWithoutStream()) return false;
                it = senders_.emplace(ip, SenderEntry{}).first;
            }
            entry = &it->second;
            entry->lastHeard = std::chrono::steady_clock::now();
        }
        std::memcpy(latest_, values, sizeof latest_);
        if (entry) {
            entry->orientX = values[0];
            entry->orientY = values[1];
            entry->orientZ = values[2];
            entry->posX = values[3];
            entry->posY = values[4];
            entry->posZ = values[5];
            entry->fresh = true;
            if (isReset) entry->reset = true;
        }
        // Raised with the sample in place and inside the same critical section: a reader that
        // sees the flag and then takes the lock finds the sample, and one that finds the sample
        // under the lock also finds the flag raised.
        newData_.store(true);
    }
    return true;
}

void MotionReceiver::getLatestMotion(float& orientX, float& orientY, float& orientZ, float& posX,
                                     float& posY, float& posZ) const {
    std::lock_guard<std::mutex> lock(sendersMutex_);
    orientX = latest_[0];
    orientY = latest_[1];
    orientZ = latest_[2];
    posX = latest_[3];
    posY = latest_[4];
    posZ = latest_[5];
}

bool MotionReceiver::hasNewData() { return newData_.exchange(false); }

bool MotionReceiver::forgetStalestWithoutStream() {
    auto stalest = senders_.end();
    for (auto it = senders_.begin(); it != senders_.end(); ++it) {
        if (streaming_.count(it->first) != 0) continue;
        if (stalest == senders_.end() || it->second.lastHeard < stalest->second.lastHeard) stalest = it;
    }
    if (stalest == senders_.end()) return false;
    senders_.erase(stalest);
    return true;
}

void MotionReceiver::setStreamingSenders(const std::vector<std::string>& ips) {
    std::set<std::string, std::less<>> streaming(ips.begin(), ips.end());
    std::lock_guard<std::mutex> lock(sendersMutex_);
    streaming_.swap(streaming);
}

bool MotionReceiver::consumeMotionForSender(const std::string& ip, PerSenderMotion& out) {
    std::lock_guard<std::mutex> lock(sendersMutex_);
    auto it = senders_.find(ip);
    if (it == senders_.end()) return false;
    SenderEntry& e = it->second;
    out.orientX = e.orientX;
    out.orientY = e.orientY;
    out.orientZ = e.orientZ;
    out.posX = e.posX;
    out.posY = e.posY;
    out.posZ = e.posZ;
    out.fresh = e.fresh;
    out.reset = e.reset;
    e.fresh = false;
    e.reset = false;
    return true;
}
