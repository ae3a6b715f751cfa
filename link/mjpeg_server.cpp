// MJPEGServer: state, start and stop, the accept loop and the first read of every connection.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include "link/http_request.h"
#include "link/mjpeg_server_impl.h"
#include "platform/log.h"

using qlo::log::Log;

namespace {

std::string QueueLabel(const char* suffix) { return std::string(kQueueLabelPrefix) + suffix; }

// Closes fd unless it is negative.
void CloseFd(int fd) {
    if (fd >= 0) ::close(fd);
}

// One read of at most 2047 bytes into a zeroed buffer: the request text of a connection, up to
// its first NUL byte. Empty when the read returns nothing, fails or times out.
std::string ReadFirstRequest(int fd, bool* gotBytes) {
    char buffer[2048] = {};
    const ssize_t n = ::recv(fd, buffer, sizeof buffer - 1, 0);
    *gotBytes = n > 0;
    return n > 0 ? std::string(buffer) : std::string();
}

}  // namespace

MJPEGServer::MJPEGServer() : impl_(std::make_unique<Impl>()) {}

MJPEGServer::~MJPEGServer() {
    stop();
    // Reverse lookups still in flight hold the registry (and its queue), not this state.
}

std::shared_ptr<ClientRegistry> MJPEGServer::Impl::currentRegistry() const {
    std::lock_guard<std::mutex> lock(registryMutex);
    return registry;
}

std::shared_ptr<ClientRegistry> MJPEGServer::Impl::ensureRegistry() {
    std::lock_guard<std::mutex> lock(registryMutex);
    if (!registry) {
        registry = std::make_shared<ClientRegistry>(qlo::dispatch::CreateSerial(QueueLabel(".mjpeg.clients")));
    }
    return registry;
}

uint16_t MJPEGServer::start(uint16_t requestedPort) {
    Impl& s = *impl_;
    if (s.running.load()) return s.port.load();

    // Writing to a connection the phone has closed must fail with an error, not end the host.
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);

    bool v6 = true;
    int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        v6 = false;
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return 0;
    }
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    int bound = -1;
    if (v6) {
        const int zero = 0;  // dual stack: IPv4 phones arrive as IPv4-mapped addresses
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &zero, sizeof zero);
        sockaddr_in6 address = {};
        address.sin6_family = AF_INET6;
        address.sin6_addr = in6addr_any;
        address.sin6_port = htons(requestedPort);
        bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    } else {
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        address.sin_port = htons(requestedPort);
        bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    if (bound != 0 || ::listen(fd, 8) != 0) {
        ::close(fd);
        return 0;
    }
    sockaddr_in6 local = {};
    socklen_t localSize = sizeof local;
    uint16_t actualPort = requestedPort;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) == 0) {
        actualPort = local.sin6_family == AF_INET6
                         ? ntohs(local.sin6_port)
                         : ntohs(reinterpret_cast<const sockaddr_in*>(&local)->sin_port);
    }

    s.listenFd = fd;
    s.port.store(actualPort);
    s.draining.store(false);
    s.running.store(true);

    s.acceptQueue = qlo::dispatch::CreateSerial(QueueLabel(".mjpeg.accept"));
    auto reg = std::make_shared<ClientRegistry>(qlo::dispatch::CreateSerial(QueueLabel(".mjpeg.clients")));
    {
        std::lock_guard<std::mutex> lock(s.registryMutex);
        s.registry = reg;
    }
    Impl* impl = &s;
    s.acceptQueue->async([impl, fd, reg] { impl->acceptLoop(fd, reg); });

    s.netService = std::make_unique<QLOServiceAnnouncement>();
    s.netService->publish(actualPort);

    Log("[Quillo] MJPEG server listening on port %d", static_cast<int>(actualPort));
    return actualPort;
}

void MJPEGServer::stop() {
    Impl& s = *impl_;
    if (!s.running.exchange(false)) return;

    if (s.netService) {
        s.netService->withdraw();
        s.netService.reset();
    }

    // Wake the accept loop: closing alone does not wake a thread blocked in accept on Linux,
    // shutting the listening socket down does. The descriptor stays open (so its number cannot
    // be reused under the loop) until the loop has ended. The loop ends only after its HTTP queue
    // drained, and draining makes control requests stop reading bodies, so every control job
    // that could touch this state is over when the sync returns.
    s.draining.store(true);
    if (s.listenFd >= 0) ::shutdown(s.listenFd, SHUT_RDWR);
    if (s.acceptQueue) {
        s.acceptQueue->sync([] {});
        s.acceptQueue.reset();
    }
    CloseFd(s.listenFd);
    s.listenFd = -1;
    s.draining.store(false);

    if (auto reg = s.currentRegistry()) {
        ClientRegistry& r = *reg;
        r.queue->sync([&r] { Impl::removeAllClients(r); });
    }

    s.port.store(0);
    Log("[Quillo] MJPEG server stopped");
}

bool MJPEGServer::isRunning() const { return impl_->running.load(); }

void MJPEGServer::setControlPort(uint16_t port) {
    impl_->controlPort.store(port);
    if (impl_->netService) impl_->netService->setControlPort(port);
}

void MJPEGServer::setNameLookup(NameLookup lookup) {
    std::lock_guard<std::mutex> lock(impl_->lookupMutex);
    impl_->nameLookup = std::move(lookup);
}

void MJPEGServer::Impl::acceptLoop(int fd, std::shared_ptr<ClientRegistry> reg) {
    // Control requests run here. Destroying the queue when the loop ends waits for every one of
    // them, so none outlives the loop (and stop waits for the loop).
    qlo::dispatch::QueuePtr http = qlo::dispatch::CreateConcurrent(QueueLabel(".mjpeg.http"));
    while (running.load()) {
        sockaddr_in6 peer = {};  // room for an IPv6 peer (28 bytes); an IPv4 one fits too
        socklen_t peerSize = sizeof peer;
        const int client = ::accept4(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize, SOCK_CLOEXEC);
        if (client < 0) {
            if (!running.load()) break;
            // Out of descriptors or memory: the waiting connection stays queued and accept would
            // fail again at once; pause briefly instead of spinning a core.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            continue;
        }
        ConfigureAcceptedSocket(client);
        bool gotBytes = false;
        std::string request = ReadFirstRequest(client, &gotBytes);
        if (!gotBytes) {
            ::close(client);
            continue;
        }
        if (RouteRequest(request) == RequestRoute::Stream) {
            admitStream(client, peer, request, reg);
        } else {
            http->async([this, client, request = std::move(request), reg] {
                runControlJob(client, request, *reg);
            });
        }
    }
}

bool MJPEGServer::serveControlConnection(int fd) {
    if (fd < 0) return false;
    ConfigureAcceptedSocket(fd);
    bool gotBytes = false;
    const std::string request = ReadFirstRequest(fd, &gotBytes);
    if (!gotBytes || RouteRequest(request) == RequestRoute::Stream) {
        ::close(fd);
        return false;
    }
    std::shared_ptr<ClientRegistry> reg = impl_->ensureRegistry();
    impl_->runControlJob(fd, request, *reg);
    return true;
}
