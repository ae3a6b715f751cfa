// The outgoing path of one streaming phone: a thread of its own that encodes the phone's frames
// and writes them down its socket, so that neither the JPEG encoding nor a slow or silent phone
// ever holds the host's main thread.
//
// The sender holds at most the newest frame waiting: a newer frame offered before the thread took
// the waiting one replaces it (the one exception: frames of one batch, the phone's own frame and
// the shared frame of one work pass, wait together, see OutgoingFrame). A phone that reads slowly
// therefore receives fewer frames (the newest one each time it can take one) and never a
// backlog, and its frames stay whole and in order. A
// phone that accepts no byte at all for kStallLimit while a frame is waiting for it counts as
// failed: the sender stops and reports it, and the phone is dropped as one whose send failed.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "link/outgoing_frame.h"
#include "link/socket_io.h"

// How long a phone may take no byte of its stream before it is dropped. Frames are written off
// the main thread, so this costs the host nothing while it runs; it only decides when a phone is
// given up. A healthy phone on a local network takes a frame within milliseconds. Wi-Fi power
// saving, roaming between access points or a moment out of range pause a phone for well under a
// second, and TCP's retransmissions after such a pause come back within a second or two; three
// seconds rides those out. A phone that locked its screen or left stops for good, and after three
// seconds it leaves the panel's list and its socket is closed.
inline constexpr std::chrono::milliseconds kStallLimit{3000};

// Threads of the senders of one server, counted so that stopping the server can wait for them.
class SenderThreads {
public:
    void started();
    void ended();
    // Waits until every sender thread has ended, at most `limit`; whether they all did.
    bool waitForAll(std::chrono::milliseconds limit);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int running_ = 0;
};

class StreamSender {
public:
    // Called once, on the sender's thread, when the phone failed (a write error, the peer gone, or
    // no byte taken for kStallLimit); never after close().
    using FailureHandler = std::function<void()>;

    // Starts the sender's thread for the stream on `socket`.
    static std::shared_ptr<StreamSender> Start(std::shared_ptr<StreamSocket> socket,
                                               std::shared_ptr<SenderThreads> threads, FailureHandler onFailure);
    ~StreamSender() = default;
    StreamSender(const StreamSender&) = delete;
    StreamSender& operator=(const StreamSender&) = delete;

    // Hands over the phone's newest frame, replacing those still waiting from older batches.
    // Returns at once.
    void offer(std::shared_ptr<OutgoingFrame> frame);
    // Ends the sender: the connection is shut down (a write in progress fails at once) and the
    // thread ends without reporting a failure. Returns at once.
    void close();

private:
    StreamSender(std::shared_ptr<StreamSocket> socket, FailureHandler onFailure);
    void run();
    // Writes the bytes completely; false when the phone failed or the sender was closed.
    bool write(const void* data, size_t length, std::chrono::steady_clock::time_point& lastProgress);

    const std::shared_ptr<StreamSocket> socket_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::shared_ptr<OutgoingFrame>> waiting_;  // one batch, oldest first; guarded by mutex_
    bool closed_ = false;                     // guarded by mutex_
    FailureHandler onFailure_;                // guarded by mutex_
};
