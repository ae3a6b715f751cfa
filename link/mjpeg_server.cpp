// MJPEGServer: state, start and stop. The accept loop and the reading of requests are in
// mjpeg_intake.cpp.
#include <arpa/inet.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
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

    // The accept loop's descriptors are made here, not on its thread: a server that could not
    // make them fails to start, instead of starting a loop that ends at once and accepts nobody.
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    const int ep = ::epoll_create1(EPOLL_CLOEXEC);
    if (wake < 0 || ep < 0) {
        if (wake >= 0) ::close(wake);
        if (ep >= 0) ::close(ep);
        ::close(fd);
        return 0;
    }
    s.listenFd = fd;
    s.wakeFd = wake;
    s.port.store(actualPort);
    s.running.store(true);

    s.acceptQueue = qlo::dispatch::CreateSerial(QueueLabel(".mjpeg.accept"));
    auto reg = std::make_shared<ClientRegistry>(qlo::dispatch::CreateSerial(QueueLabel(".mjpeg.clients")));
    {
        std::lock_guard<std::mutex> lock(s.registryMutex);
        s.registry = reg;
    }
    Impl* impl = &s;
    s.acceptQueue->async([impl, ep, fd, wake, reg] { impl->acceptLoop(ep, fd, wake, reg); });

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

    // Wake the accept loop through its event descriptor. The listening descriptor stays open
    // (so its number cannot be reused under the loop) until the loop has ended. The loop drops
    // the connections it was still reading and ends only after its HTTP queue drained (control
    // jobs no longer read; each only answers, within the send timeout), so every control job that
    // could touch this state is over when the sync returns.
    const uint64_t one = 1;
    if (s.wakeFd >= 0 && ::write(s.wakeFd, &one, sizeof one) < 0) {
        // The counter cannot overflow from one write; nothing to do.
    }
    if (s.acceptQueue) {
        s.acceptQueue->sync([] {});
        s.acceptQueue.reset();
    }
    CloseFd(s.listenFd);
    s.listenFd = -1;
    CloseFd(s.wakeFd);
    s.wakeFd = -1;

    if (auto reg = s.currentRegistry()) {
        ClientRegistry& r = *reg;
        r.queue->sync([&r] { Impl::removeAllClients(r); });
    }
    // Every sender was closed above: its write fails at once and its thread ends.
    s.senderThreads->waitForAll(std::chrono::seconds(2));

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

