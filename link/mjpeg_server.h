// MJPEGServer: the plug-in's one TCP endpoint for phones, and the meeting point between the
// network threads and the host's idle tick.
//
// It listens on one TCP port (dual-stack IPv6), accepts connections on a serial queue and reads
// the first request of each. A control request (register, camera settings, camera list,
// timeline, record, info) is answered once on a concurrent queue and closed; every other request
// becomes a long-lived MJPEG stream to that phone, kept in the client registry. Phone commands
// reach the idle tick through one-slot mailboxes (newest post wins); the idle tick publishes the
// timeline state and the camera list back for the phones. Starting the server also publishes its
// DNS-SD announcement.
//
// Threads: start, stop, setControlPort, the frame pushes and the mailbox accessors are called on
// the host's main thread; none of them waits on a phone. Connections are accepted and their
// requests read on the accept queue, without ever blocking on one peer; control requests are
// answered on a concurrent queue; each streaming phone has a sender thread of its own that
// encodes and writes its frames. The registry is only ever read and written on the serial
// clients queue, always entered synchronously; everybody outside the server works on copies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/link_types.h"
#include "link/name_lookup.h"
#include "link/outgoing_frame.h"

class MJPEGServer {
public:
    MJPEGServer();
    // Stops the server (see stop), then frees its state.
    ~MJPEGServer();
    MJPEGServer(const MJPEGServer&) = delete;
    MJPEGServer& operator=(const MJPEGServer&) = delete;
    MJPEGServer(MJPEGServer&&) = delete;
    MJPEGServer& operator=(MJPEGServer&&) = delete;

    // Listens on `port` (0: any free port) and publishes the announcement. Returns the port
    // bound, or 0 when the socket cannot be made, bound or put to listen (nothing is left open).
    // On a running server, returns the current port and does nothing else.
    uint16_t start(uint16_t port);
    // Withdraws the announcement, stops accepting, drops the connections still being read, waits
    // until the accept loop and every control answer in progress have ended (each answer is
    // bounded by the send timeout), and closes every stream (its sender ends at once).
    // Pending registrations, mailboxes, timeline state and camera list stay. Nothing when not
    // running.
    void stop();
    bool isRunning() const;
    // The UDP port of the motion receiver, served by GET /info and added to the announcement.
    void setControlPort(uint16_t port);

    // --- Client registry and streaming ---

    // Number of registered stream clients.
    int clientCount() const;
    // Hands one frame to every registered phone's sender (encoded once, for all of them). Returns
    // at once: the senders write it on their own threads, and a phone whose write fails, or that
    // takes nothing for kStallLimit, is removed there.
    void pushFrame(std::shared_ptr<OutgoingFrame> frame);
    // Hands one frame to the sender of the phone streaming on `fd`, replacing a frame of that
    // phone not yet taken. True when the phone is registered and the frame was handed over; false
    // when fd is not registered, there is no frame, or the server is not running.
    bool pushFrameToClient(int fd, std::shared_ptr<OutgoingFrame> frame);
    // The same for a frame already encoded as JPEG (copied; length 0 sends nothing).
    void pushFrame(const void* jpeg, size_t length);
    bool pushFrameToClient(int fd, const void* jpeg, size_t length);
    // A copy of the registry, in admission order.
    std::vector<ClientInfo> snapshotClients() const;
    // Sets `allowed` of the phone streaming on fd; nothing if there is none.
    void setClientAllowed(int fd, bool allowed);
    // Whether some registered phone is allowed.
    bool anyClientAllowed() const;

    // --- Mailboxes and published state (idle tick, main thread) ---

    bool hasPendingCameraSettings() const;
    CameraSettings getPendingCameraSettings();
    void updateTimelineState(const TimelineState& state);
    bool hasPendingTimelineCommand() const;
    TimelineCommand getPendingTimelineCommand();
    bool hasPendingRecordCommand() const;
    RecordMode getPendingRecordCommand();
    void updateCameraList(const std::vector<std::string>& names);
    bool isCameraListEmpty() const;
    bool hasPendingSelectCamera() const;
    SelectCameraRequest getPendingSelectCamera();

    // --- Seams for tests and fuzzing ---

    // Serves one already-accepted connection as the accept loop does, on the calling thread: reads
    // the request (its head and announced body, within kRequestDeadline), then, for a control
    // request, the whole control job. Always closes fd. Returns true when the request was a
    // control request that was answered; a stream request is not admitted here, and a request
    // that did not arrive whole is not answered (false). Works on a stopped server (a fuzzer
    // drives it through a socketpair), with the stopped server's registry.
    bool serveControlConnection(int fd);
    // Replaces the reverse name lookup of new stream peers (tests keep it off the network and
    // control when it finishes). Takes effect for connections admitted afterwards.
    void setNameLookup(NameLookup lookup);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
