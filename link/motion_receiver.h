// MotionReceiver: the UDP endpoint on which phones send their motion (orientation and position
// offsets, see link/motion_datagram.h). It keeps the newest sample of every sender, keyed by the
// sender's IP text (the same text the stream registry carries, link/ip_address.h), and the
// newest sample of any sender.
//
// Threads: the receive loop runs alone on a serial queue ("<prefix>.motion-receiver"); start,
// stop and the three readers are called on the host's main thread. The per-sender map and the
// newest sample of any sender are guarded by one mutex, held only for one lookup-and-update or
// one lookup-and-copy; the new-data flag is an atomic that the reader exchanges.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/dispatch.h"

// What a consumer gets for one sender.
struct PerSenderMotion {
    float orientX = 0, orientY = 0, orientZ = 0;
    float posX = 0, posY = 0, posZ = 0;
    bool fresh = false;  // a sample or reset arrived since the previous consume
    bool reset = false;  // a reset arrived since the previous consume
};

// The receiver's record for one sender: created zero-filled by the sender's first valid
// datagram; forgotten only to make room for a new sender in a full table (see kMaxSenders).
struct SenderEntry {
    float orientX = 0, orientY = 0, orientZ = 0;
    float posX = 0, posY = 0, posZ = 0;
    bool fresh = false;
    bool reset = false;
    std::chrono::steady_clock::time_point lastHeard{};  // its newest datagram
};

// The sender table holds at most this many senders, far more phones than anyone holds up. A new
// sender in a full table takes the place of the one heard from longest ago that has no stream
// (setStreamingSenders); a sender with a stream is never forgotten, so datagrams from ever new
// source addresses (easy to forge: UDP needs no handshake) cannot keep a real phone's motion out.
inline constexpr size_t kMaxSenders = 1024;

class MotionReceiver {
public:
    MotionReceiver();
    // Stops (and waits for the receive loop to end) before the state goes away.
    ~MotionReceiver();
    MotionReceiver(const MotionReceiver&) = delete;
    MotionReceiver& operator=(const MotionReceiver&) = delete;

    // Binds a dual-stack IPv6 UDP socket (IPv4 when that fails) to the port (0: any free port)
    // and starts the receive loop. Returns the bound port, or 0 when no socket could be bound;
    // then nothing stays open. On a running receiver, returns the current port.
    uint16_t start(uint16_t port);
    // Ends the receive loop and closes the socket; returns once the loop has ended. The senders
    // and the newest sample are kept. Nothing when stopped.
    void stop();

    // The newest sample of any sender (zeros after a reset, and before anything arrived).
    void getLatestMotion(float& orientX, float& orientY, float& orientZ, float& posX, float& posY,
                         float& posZ) const;
    // Whether a valid datagram arrived since the previous call; each arrival is reported once.
    bool hasNewData();
    // Copies the sender's newest sample and flags into `out` and clears the flags. False (and
    // `out` untouched) when that IP text never sent a valid datagram.
    bool consumeMotionForSender(const std::string& ip, PerSenderMotion& out);
    // The IP texts of the phones that have a stream now (the idle tick tells it on every pass):
    // their senders are never forgotten to make room for new ones.
    void setStreamingSenders(const std::vector<std::string>& ips);

private:
    void receiveLoop(int fd);
    // Stores a sample (or a reset's zeros) as the newest of any sender and, when the IP text is
    // not empty, as that sender's. False when the sender is new and the table is full of senders
    // that have a stream.
    bool store(const char* ip, bool isReset, const float (&values)[6]);
    // Forgets the sender heard from longest ago that has no stream; false when every sender has
    // one. With sendersMutex_ held.
    bool forgetStalestWithoutStream();

    int socket_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> running_{false};
    qlo::dispatch::QueuePtr queue_;
    float latest_[6] = {};  // guarded by sendersMutex_
    std::atomic<bool> newData_{false};
    std::map<std::string, SenderEntry, std::less<>> senders_;  // guarded by sendersMutex_
    std::set<std::string, std::less<>> streaming_;              // guarded by sendersMutex_
    mutable std::mutex sendersMutex_;
};
