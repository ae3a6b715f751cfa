// The private state of MJPEGServer, shared by its three source files: lifecycle and accept loop
// (mjpeg_server.cpp), client registry and streaming (mjpeg_registry.cpp), control endpoints
// and mailboxes (mjpeg_control.cpp).
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "link/link_types.h"
#include "link/mjpeg_server.h"
#include "link/name_lookup.h"
#include "link/pending_registrations.h"
#include "link/service_announcement.h"
#include "link/socket_io.h"
#include "link/stream_sender.h"
#include "platform/dispatch.h"

// Labels of the server's queues: this prefix and a suffix naming the queue.
inline constexpr const char* kQueueLabelPrefix = "com.quillo";

// One registered stream: what the rest of the plug-in sees (a ClientInfo copy), the connection's
// serial number (unique for the server's life, so that a late reverse lookup or a late removal
// recognises its own connection even when a newer one got the same socket number), the socket,
// closed when the last holder lets go, and the phone's sender.
struct RegistryEntry {
    ClientInfo info;
    uint64_t serial = 0;
    std::shared_ptr<StreamSocket> socket;
    std::shared_ptr<StreamSender> sender;
};

// The client registry of one run of the server, together with the serial queue on which alone
// it is read and written. Reverse lookups hold it by shared pointer: one that finishes after
// stop, or after the server is gone, still writes only into this object through this queue,
// never into freed state. A new start makes a new one.
//
// The senders are also listed by socket number under their own lock, written only on the queue
// together with the registry: a frame push on the main thread finds its phone's sender there
// without waiting for the queue.
struct ClientRegistry {
    explicit ClientRegistry(qlo::dispatch::QueuePtr q) : queue(std::move(q)) {}
    qlo::dispatch::QueuePtr queue;        // serial, label suffix ".mjpeg.clients"
    std::vector<RegistryEntry> clients;   // admission order; only on queue
    std::mutex sendersMutex;
    std::map<int, std::shared_ptr<StreamSender>> senders;  // guarded by sendersMutex
    // A copy of the clients' infos, made on the queue after every change to them: the host's main
    // thread reads the clients every work pass and must not wait for the queue's thread (busy
    // with arriving and failing streams, or not scheduled on a loaded machine) to do it.
    std::mutex publishedMutex;
    std::vector<ClientInfo> published;  // guarded by publishedMutex

    // Erases the entry and ends its sender and connection; on queue.
    void erase(std::vector<RegistryEntry>::iterator entry);
    // Copies the clients' infos to `published`; on queue, after every change to `clients`.
    void publish();
};

// A one-slot mailbox: the slot, its pending flag (read without the lock) and its own lock.
// A post overwrites the slot and sets the flag; taking the command clears the flag.
template <typename T>
struct Mailbox {
    std::mutex mutex;
    T slot{};
    std::atomic<bool> pending{false};

    T take() {
        std::lock_guard<std::mutex> lock(mutex);
        pending.store(false);
        return slot;
    }
};

struct MJPEGServer::Impl {
    std::atomic<bool> running{false};
    std::atomic<uint16_t> port{0};
    std::atomic<uint16_t> controlPort{0};
    int listenFd = -1;
    int wakeFd = -1;  // eventfd: stop wakes the accept loop through it
    qlo::dispatch::QueuePtr acceptQueue;  // serial, label suffix ".mjpeg.accept"
    // clientsQueue and clients: the current run's registry (null before the first start). The
    // lock guards only this pointer; it is never held while waiting for the clients queue.
    mutable std::mutex registryMutex;
    std::shared_ptr<ClientRegistry> registry;
    std::unique_ptr<QLOServiceAnnouncement> netService;
    Mailbox<CameraSettings> cameraSettings;
    std::mutex timelineMutex;
    TimelineState timelineState;
    Mailbox<TimelineCommand> timelineCommand;
    Mailbox<RecordMode> recordCommand;
    mutable std::mutex cameraListMutex;
    std::vector<std::string> cameraList;
    Mailbox<SelectCameraRequest> selectCamera;
    // Registrations waiting for their stream, by IP text; only on the current registry's queue.
    PendingRegistrations pendingRegs;

    // The phones' sender threads, waited for by stop.
    std::shared_ptr<SenderThreads> senderThreads = std::make_shared<SenderThreads>();
    // Serial number of the next admitted stream; only on the accept queue (or a test's thread).
    uint64_t nextSerial = 1;
    std::mutex lookupMutex;
    NameLookup nameLookup = ReverseLookupHostName;

    std::shared_ptr<ClientRegistry> currentRegistry() const;
    // The current registry, made (with its queue) when there is none yet.
    std::shared_ptr<ClientRegistry> ensureRegistry();

    // Accept loop and request reading (mjpeg_intake.cpp).
    // Runs until stop; owns (and closes at its end) the epoll descriptor `ep`.
    void acceptLoop(int ep, int listenFd, int wakeFd, std::shared_ptr<ClientRegistry> reg);

    // Registry and streaming (mjpeg_registry.cpp).
    void admitStream(int fd, const sockaddr_in6& peer, const std::string& request,
                     const std::shared_ptr<ClientRegistry>& reg);
    // Sends the stream answer and registers the connection. Returns its serial number, or 0 when
    // the answer could not be sent (the socket is then closed).
    uint64_t addClient(int fd, const sockaddr_in6& peer, const std::shared_ptr<ClientRegistry>& reg);
    void identifyStream(int fd, uint64_t serial, const std::string& device,
                        const std::string& camera, ClientRegistry& reg);
    void startReverseLookup(int fd, uint64_t serial, const sockaddr_in6& peer,
                            const std::shared_ptr<ClientRegistry>& reg);
    static void removeAllClients(ClientRegistry& reg);  // on reg.queue
    static void removeClient(ClientRegistry& reg, int fd, uint64_t serial);  // on reg.queue

    // Control endpoints (mjpeg_control.cpp).
    void runControlJob(int fd, const std::string& request, ClientRegistry& reg);
    void handleCameraPost(int fd, const std::string& request);
    void handleRegisterPost(int fd, const std::string& request, ClientRegistry& reg);
    void handleCamerasGet(int fd);
    void handleTimelineGet(int fd);
    void handleTimelinePost(int fd, const std::string& request);
    void handleRecordPost(int fd, const std::string& request);
    void handleInfoGet(int fd, ClientRegistry& reg);
    void postSelectCamera(const std::string& device, const std::string& camera);
};
