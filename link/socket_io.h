// Socket helpers of the server: complete sends, the options of accepted connections, and the
// shared handle through which a stream socket is closed only after the last send on it ended.
#pragma once

#include <chrono>
#include <cstddef>
#include <string_view>

// How long one send call may block before the peer counts as failed. Frame sends run on the
// host's main thread, so a phone that stops reading without closing must not hold it: at about
// 62 work passes a second one pass has 16 ms, and a healthy phone on a local network drains a
// quarter-size JPEG (tens of kilobytes, which mostly fits the 64 KiB send buffer anyway) in far
// less than this. A stalled phone costs the host one quarter of a second once, then it is
// dropped.
inline constexpr int kSendTimeoutMs = 250;

// The first read (and every body read) of a connection waits at most this long.
inline constexpr int kReceiveTimeoutUs = 500000;

// Sends the whole buffer with blocking send calls (no flags). A call that returns 0 or less
// (an error, the peer gone, or the send timeout) ends the loop and the rest is dropped.
// Returns true when everything was sent.
bool SendAll(int fd, const void* data, size_t length);
inline bool SendAll(int fd, std::string_view text) { return SendAll(fd, text.data(), text.size()); }

// SendAll within a time limit: no further send call starts once `deadline` has passed. Each call
// may block for the send timeout, so a phone that takes a frame in slowly (every call moves a
// few bytes before it times out) holds the caller about one send timeout per frame, not for as
// long as it keeps trickling.
bool SendAllBefore(int fd, const void* data, size_t length, std::chrono::steady_clock::time_point deadline);

// Options of every accepted connection: TCP_NODELAY, the receive timeout and the send timeout.
void ConfigureAcceptedSocket(int fd);

// A stream connection's socket, shared between the registry and any send in progress. Removing
// the phone shuts the connection down at once (the phone sees the end, a send in progress fails);
// the descriptor itself is closed when the last holder lets go, so its number cannot be reused
// by a new connection while a frame is still being written to it.
class StreamSocket {
public:
    explicit StreamSocket(int fd) : fd_(fd) {}
    ~StreamSocket();
    StreamSocket(const StreamSocket&) = delete;
    StreamSocket& operator=(const StreamSocket&) = delete;

    int fd() const { return fd_; }
    void shutdownBoth();

private:
    const int fd_;
};
