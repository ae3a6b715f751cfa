// MJPEGServer: stream admission, the client registry, reverse name lookups and MJPEG frames.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "link/http_answers.h"
#include "link/http_request.h"
#include "link/ip_address.h"
#include "link/mjpeg_server_impl.h"
#include "link/text_field.h"
#include "platform/log.h"

using qlo::log::Log;

namespace {

const char* CameraOrAuto(const ClientInfo& info) {
    return info.targetCam[0] != '\0' ? info.targetCam : "(auto)";
}

// Sends one MJPEG part: header, JPEG bytes, trailer, each completely, all within one send
// timeout from the start (plus the last call's own timeout): a phone too slow to take a whole
// frame in that time counts as failed, like one that takes nothing.
bool SendPart(int fd, const std::string& header, const void* jpeg, size_t length) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSendTimeoutMs);
    return SendAllBefore(fd, header.data(), header.size(), deadline) && SendAllBefore(fd, jpeg, length, deadline) &&
           SendAllBefore(fd, kPartTrailer.data(), kPartTrailer.size(), deadline);
}

}  // namespace

void MJPEGServer::Impl::admitStream(int fd, const sockaddr_in6& peer, const std::string& request,
                                    const std::shared_ptr<ClientRegistry>& reg) {
    const std::string firstLine(FirstLine(request));
    Log("[Quillo HTTP] Incoming: %s (stream)", firstLine.c_str());

    const int sendBuffer = 65536;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);

    const std::string device = QueryParameter(firstLine, "deviceName");
    const std::string camera = QueryParameter(firstLine, "cameraName");
    qlo::log::LogInfo("[Quillo] /stream parsed query: device=%{public}s camera=%{public}s firstLine=%{public}s",
                      device.c_str(), camera.c_str(), firstLine.c_str());

    const uint64_t serial = addClient(fd, peer, reg);

    if (!device.empty() || !camera.empty()) {
        ClientRegistry& r = *reg;
        r.queue->sync([&] { identifyStream(fd, serial, device, camera, r); });
    }
    // The phone's camera choice goes to the idle tick even when the stream could not be admitted.
    if (!device.empty()) postSelectCamera(device, camera);
}

uint64_t MJPEGServer::Impl::addClient(int fd, const sockaddr_in6& peer,
                                      const std::shared_ptr<ClientRegistry>& reg) {
    if (!SendAll(fd, kStreamAnswer)) {
        ::close(fd);
        return 0;
    }

    RegistryEntry entry;
    entry.info.fd = fd;
    SockAddrToIPString(reinterpret_cast<const sockaddr*>(&peer), entry.info.ip, sizeof entry.info.ip);
    entry.info.allowed = true;
    entry.serial = nextSerial++;
    entry.socket = std::make_shared<StreamSocket>(fd);
    const uint64_t serial = entry.serial;

    ClientRegistry& r = *reg;
    r.queue->sync([&] {
        ClientInfo& info = entry.info;
        // A phone that reconnects leaves its old stream behind: one entry per IP text.
        auto ghost = std::find_if(r.clients.begin(), r.clients.end(), [&](const RegistryEntry& e) {
            return std::strcmp(e.info.ip, info.ip) == 0;
        });
        if (ghost != r.clients.end()) {
            Log("[Quillo] Evicting ghost connection (fd=%d, ip=%s, name=%s) — new connection from same IP",
                ghost->info.fd, ghost->info.ip, ghost->info.name);
            ghost->socket->shutdownBoth();
            r.clients.erase(ghost);  // the last holder of the socket closes it
        }

        auto pending = pendingRegs.find(info.ip);
        if (pending == pendingRegs.end()) {
            Log("[Quillo] Client connected (fd=%d, ip=%s, total=%zu)", fd, info.ip, r.clients.size());
        } else {
            CopyToField(info.name, pending->second.deviceName);
            CopyToField(info.targetCam, pending->second.cameraName);
            info.allowed = true;
            pendingRegs.erase(pending);
            Log("[Quillo] Client connected (fd=%d, ip=%s, name=%s, camera=%s — from pending register, auto-allowed)",
                fd, info.ip, info.name, CameraOrAuto(info));
        }
        r.clients.push_back(std::move(entry));
    });

    startReverseLookup(fd, serial, peer, reg);
    return serial;
}

void MJPEGServer::Impl::identifyStream(int fd, uint64_t serial, const std::string& device,
                                       const std::string& camera, ClientRegistry& reg) {
    for (RegistryEntry& e : reg.clients) {
        if (e.info.fd != fd || e.serial != serial) continue;
        if (!device.empty()) CopyToField(e.info.name, device);
        if (!camera.empty()) CopyToField(e.info.targetCam, camera);
        e.info.allowed = true;
        Log("[Quillo] /stream identity fd=%d device=\"%s\" camera=\"%s\" (auto-allowed)", fd, e.info.name,
            CameraOrAuto(e.info));
        return;
    }
}

void MJPEGServer::Impl::startReverseLookup(int fd, uint64_t serial, const sockaddr_in6& peer,
                                           const std::shared_ptr<ClientRegistry>& reg) {
    NameLookup lookup;
    {
        std::lock_guard<std::mutex> lock(lookupMutex);
        lookup = nameLookup;
    }
    if (!lookup) return;
    const socklen_t size = peer.sin6_family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
    // The task holds the registry (with its queue), never this server's state: it may finish
    // after the connection left, after stop, or after the server was destroyed. It names only
    // the connection it was started for, recognised by socket number and serial together.
    qlo::dispatch::GlobalUtility().async([reg, lookup = std::move(lookup), peer, size, fd, serial] {
        std::string host = lookup(reinterpret_cast<const sockaddr*>(&peer), size);
        if (host.empty()) return;
        host = StripLocalSuffix(std::move(host));
        ClientRegistry& r = *reg;
        r.queue->sync([&] {
            for (RegistryEntry& e : r.clients) {
                if (e.info.fd != fd || e.serial != serial) continue;
                if (e.info.name[0] == '\0') {
                    CopyToField(e.info.name, host);
                    Log("[Quillo] mDNS resolved fd=%d → %s", fd, e.info.name);
                }
                return;
            }
        });
    });
}

void MJPEGServer::Impl::removeAllClients(ClientRegistry& reg) {
    for (RegistryEntry& e : reg.clients) e.socket->shutdownBoth();
    reg.clients.clear();
}

void MJPEGServer::Impl::removeClient(ClientRegistry& reg, int fd, uint64_t serial) {
    auto it = std::find_if(reg.clients.begin(), reg.clients.end(), [&](const RegistryEntry& e) {
        return e.info.fd == fd && e.serial == serial;
    });
    if (it == reg.clients.end()) return;  // already removed (evicted, or stopped)
    it->socket->shutdownBoth();
    reg.clients.erase(it);
}

void MJPEGServer::pushFrame(const void* jpeg, size_t length) {
    Impl& s = *impl_;
    if (length == 0 || jpeg == nullptr || !s.running.load()) return;
    const std::string header = FormatPartHeader(length);
    std::shared_ptr<ClientRegistry> reg = s.currentRegistry();
    if (!reg) return;

    struct Target {
        int fd;
        uint64_t serial;
        std::shared_ptr<StreamSocket> socket;
    };
    std::vector<Target> targets;
    reg->queue->sync([&] {
        targets.reserve(reg->clients.size());
        for (const RegistryEntry& e : reg->clients) targets.push_back({e.info.fd, e.serial, e.socket});
    });

    std::vector<Target*> dead;
    for (Target& t : targets) {
        if (!SendPart(t.socket->fd(), header, jpeg, length)) dead.push_back(&t);
    }
    if (!dead.empty()) {
        ClientRegistry& r = *reg;
        r.queue->sync([&] {
            for (Target* t : dead) Impl::removeClient(r, t->fd, t->serial);
        });
    }
    // The copies of the sockets go here: a socket removed meanwhile is closed now.
}

bool MJPEGServer::pushFrameToClient(int fd, const void* jpeg, size_t length) {
    Impl& s = *impl_;
    if (fd < 0 || length == 0 || jpeg == nullptr || !s.running.load()) return false;
    const std::string header = FormatPartHeader(length);
    std::shared_ptr<ClientRegistry> reg = s.currentRegistry();
    if (!reg) return false;

    std::shared_ptr<StreamSocket> socket;
    uint64_t serial = 0;
    reg->queue->sync([&] {
        for (const RegistryEntry& e : reg->clients) {
            if (e.info.fd == fd) {
                socket = e.socket;
                serial = e.serial;
                return;
            }
        }
    });
    if (!socket) return false;

    if (SendPart(socket->fd(), header, jpeg, length)) return true;
    ClientRegistry& r = *reg;
    r.queue->sync([&] { Impl::removeClient(r, fd, serial); });
    return false;
}

std::vector<ClientInfo> MJPEGServer::snapshotClients() const {
    std::vector<ClientInfo> copy;
    std::shared_ptr<ClientRegistry> reg = impl_->currentRegistry();
    if (!reg) return copy;
    reg->queue->sync([&] {
        copy.reserve(reg->clients.size());
        for (const RegistryEntry& e : reg->clients) copy.push_back(e.info);
    });
    return copy;
}

void MJPEGServer::setClientAllowed(int fd, bool allowed) {
    std::shared_ptr<ClientRegistry> reg = impl_->currentRegistry();
    if (!reg) return;
    reg->queue->sync([&] {
        for (RegistryEntry& e : reg->clients) {
            if (e.info.fd == fd) {
                e.info.allowed = allowed;
                return;
            }
        }
    });
}

bool MJPEGServer::anyClientAllowed() const {
    std::shared_ptr<ClientRegistry> reg = impl_->currentRegistry();
    if (!reg) return false;
    bool any = false;
    reg->queue->sync([&] {
        any = std::any_of(reg->clients.begin(), reg->clients.end(),
                          [](const RegistryEntry& e) { return e.info.allowed; });
    });
    return any;
}

int MJPEGServer::clientCount() const {
    std::shared_ptr<ClientRegistry> reg = impl_->currentRegistry();
    if (!reg) return 0;
    int count = 0;
    reg->queue->sync([&] { count = static_cast<int>(reg->clients.size()); });
    return count;
}
