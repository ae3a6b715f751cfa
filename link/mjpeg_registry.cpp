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
    // A phone whose sender fails is removed through the registry's queue, never waited for: the
    // sender's thread must not wait on the queue, whose task may be ending that very sender.
    std::weak_ptr<ClientRegistry> weakReg = reg;
    entry.sender = StreamSender::Start(entry.socket, senderThreads, [weakReg, fd, serial] {
        if (std::shared_ptr<ClientRegistry> r = weakReg.lock()) {
            r->queue->async([weakReg, fd, serial] {
                if (std::shared_ptr<ClientRegistry> rr = weakReg.lock()) Impl::removeClient(*rr, fd, serial);
            });
        }
    });

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
            r.erase(ghost);  // the last holder of the socket closes it
        }

        std::optional<PendingReg> pending = pendingRegs.take(info.ip, PendingRegistrations::Clock::now());
        if (!pending) {
            Log("[Quillo] Client connected (fd=%d, ip=%s, total=%zu)", fd, info.ip, r.clients.size());
        } else {
            CopyToField(info.name, pending->deviceName);
            CopyToField(info.targetCam, pending->cameraName);
            info.allowed = true;
            Log("[Quillo] Client connected (fd=%d, ip=%s, name=%s, camera=%s — from pending register, auto-allowed)",
                fd, info.ip, info.name, CameraOrAuto(info));
        }
        {
            std::lock_guard<std::mutex> lock(r.sendersMutex);
            r.senders[fd] = entry.sender;
        }
        r.clients.push_back(std::move(entry));
        r.publish();
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
        reg.publish();
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
    // glibc's resolver names no IPv4-mapped IPv6 address: an IPv4 phone is looked up by its
    // plain IPv4 address.
    sockaddr_storage address;
    const socklen_t size = PlainPeerAddress(peer, &address);
    if (size == 0) return;
    // The task holds the registry (with its queue), never this server's state: it may finish
    // after the connection left, after stop, or after the server was destroyed. It names only
    // the connection it was started for, recognised by socket number and serial together.
    qlo::dispatch::GlobalUtility().async([reg, lookup = std::move(lookup), address, size, fd, serial] {
        std::string host = lookup(reinterpret_cast<const sockaddr*>(&address), size);
        if (host.empty()) return;
        host = StripLocalSuffix(std::move(host));
        ClientRegistry& r = *reg;
        r.queue->sync([&] {
            for (RegistryEntry& e : r.clients) {
                if (e.info.fd != fd || e.serial != serial) continue;
                if (e.info.name[0] == '\0') {
                    CopyToField(e.info.name, host);
                    r.publish();
                    Log("[Quillo] mDNS resolved fd=%d → %s", fd, e.info.name);
                }
                return;
            }
        });
    });
}

void ClientRegistry::erase(std::vector<RegistryEntry>::iterator entry) {
    {
        std::lock_guard<std::mutex> lock(sendersMutex);
        auto listed = senders.find(entry->info.fd);
        if (listed != senders.end() && listed->second == entry->sender) senders.erase(listed);
    }
    if (entry->sender) entry->sender->close();
    entry->socket->shutdownBoth();
    clients.erase(entry);
    publish();
}

void ClientRegistry::publish() {
    std::vector<ClientInfo> infos;
    infos.reserve(clients.size());
    for (const RegistryEntry& e : clients) infos.push_back(e.info);
    std::lock_guard<std::mutex> lock(publishedMutex);
    published.swap(infos);
}

void MJPEGServer::Impl::removeAllClients(ClientRegistry& reg) {
    while (!reg.clients.empty()) reg.erase(reg.clients.begin());
}

void MJPEGServer::Impl::removeClient(ClientRegistry& reg, int fd, uint64_t serial) {
    auto it = std::find_if(reg.clients.begin(), reg.clients.end(), [&](const RegistryEntry& e) {
        return e.info.fd == fd && e.serial == serial;
    });
    if (it == reg.clients.end()) return;  // already removed (evicted, or stopped)
    reg.erase(it);
}

void MJPEGServer::pushFrame(std::shared_ptr<OutgoingFrame> frame) {
    Impl& s = *impl_;
    if (!frame || !s.running.load()) return;
    std::shared_ptr<ClientRegistry> reg = s.currentRegistry();
    if (!reg) return;
    std::vector<std::shared_ptr<StreamSender>> senders;
    {
        std::lock_guard<std::mutex> lock(reg->sendersMutex);
        senders.reserve(reg->senders.size());
        for (const auto& [fd, sender] : reg->senders) senders.push_back(sender);
    }
    for (const std::shared_ptr<StreamSender>& sender : senders) sender->offer(frame);
}

bool MJPEGServer::pushFrameToClient(int fd, std::shared_ptr<OutgoingFrame> frame) {
    Impl& s = *impl_;
    if (fd < 0 || !frame || !s.running.load()) return false;
    std::shared_ptr<ClientRegistry> reg = s.currentRegistry();
    if (!reg) return false;
    std::shared_ptr<StreamSender> sender;
    {
        std::lock_guard<std::mutex> lock(reg->sendersMutex);
        auto it = reg->senders.find(fd);
        if (it == reg->senders.end()) return false;
        sender = it->second;
    }
    sender->offer(std::move(frame));
    return true;
}

void MJPEGServer::pushFrame(const void* jpeg, size_t length) {
    pushFrame(OutgoingFrame::FromJpeg(jpeg, length));
}

bool MJPEGServer::pushFrameToClient(int fd, const void* jpeg, size_t length) {
    if (fd < 0 || length == 0 || jpeg == nullptr) return false;
    return pushFrameToClient(fd, OutgoingFrame::FromJpeg(jpeg, length));
}

std::vector<ClientInfo> MJPEGServer::snapshotClients() const {
    std::shared_ptr<ClientRegistry> reg = impl_->currentRegistry();
    if (!reg) return {};
    std::lock_guard<std::mutex> lock(reg->publishedMutex);
    return reg->published;
}

void MJPEGServer::setClientAllowed(int fd, bool allowed) {
    std::shared_ptr<ClientRegistry> reg = impl_->currentRegistry();
    if (!reg) return;
    reg->queue->sync([&] {
        for (RegistryEntry& e : reg->clients) {
            if (e.info.fd == fd) {
                e.info.allowed = allowed;
                reg->publish();
                return;
            }
        }
    });
}

bool MJPEGServer::anyClientAllowed() const {
    std::shared_ptr<ClientRegistry> reg = impl_->currentRegistry();
    if (!reg) return false;
    std::lock_guard<std::mutex> lock(reg->publishedMutex);
    return std::any_of(reg->published.begin(), reg->published.end(), [](const ClientInfo& c) { return c.allowed; });
}

int MJPEGServer::clientCount() const {
    std::shared_ptr<ClientRegistry> reg = impl_->currentRegistry();
    if (!reg) return 0;
    std::lock_guard<std::mutex> lock(reg->publishedMutex);
    return static_cast<int>(reg->published.size());
}
