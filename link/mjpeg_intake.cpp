// MJPEGServer: the accept loop and the reading of every connection's request.
//
// One thread (the accept queue) accepts connections and reads their requests, all sockets
// non-blocking and multiplexed with epoll, so that no peer can hold it: a connection that sends
// nothing, or trickles its bytes, only keeps its own place until its deadline. A request that is
// whole goes on: a control request to the concurrent HTTP queue (which answers it from the text
// already read, never reading again), a stream request to stream admission.
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <string>

#include "link/http_request.h"
#include "link/mjpeg_server_impl.h"
#include "link/request_reader.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string QueueLabel(const char* suffix) { return std::string(kQueueLabelPrefix) + suffix; }

void SetBlocking(int fd, bool blocking) {
    const int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0) return;
    ::fcntl(fd, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK));
}

// Reads what the connection has ready (it is non-blocking) into the request. The state after it:
// Complete or Rejected end the reading, and so does the peer closing (end()) or an error.
RequestReader::State ReadReady(int fd, RequestReader& request) {
    char chunk[4096];
    while (request.state() == RequestReader::State::Incomplete) {
        const size_t want = std::min(sizeof chunk, request.room());
        const ssize_t n = ::recv(fd, chunk, want, 0);
        if (n > 0) {
            request.add(std::string_view(chunk, static_cast<size_t>(n)));
            continue;
        }
        if (n == 0) return request.end();
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) break;
        return RequestReader::State::Rejected;  // reset by the peer: nobody to answer
    }
    return request.state();
}

struct Reading {
    sockaddr_in6 peer{};
    RequestReader request;
    Clock::time_point deadline;
};

}  // namespace

void MJPEGServer::Impl::acceptLoop(int ep, int listenFd, int wakeFd, std::shared_ptr<ClientRegistry> reg) {
    // Control requests are answered here. Destroying the queue when the loop ends waits for every
    // one of them, so none outlives the loop (and stop waits for the loop).
    qlo::dispatch::QueuePtr http = qlo::dispatch::CreateConcurrent(QueueLabel(".mjpeg.http"));
    SetBlocking(listenFd, false);  // accepting takes what is waiting and never blocks
    const auto watch = [ep](int fd, uint32_t events) {
        epoll_event e = {};
        e.events = events;
        e.data.fd = fd;
        return ::epoll_ctl(ep, EPOLL_CTL_ADD, fd, &e) == 0;
    };
    watch(wakeFd, EPOLLIN);
    bool listening = watch(listenFd, EPOLLIN);
    Clock::time_point resumeListening{};  // after running out of descriptors
    std::map<int, Reading> reading;

    const auto drop = [&](int fd) {
        ::epoll_ctl(ep, EPOLL_CTL_DEL, fd, nullptr);
        ::close(fd);
        reading.erase(fd);
    };
    // A whole request leaves the loop: its socket becomes blocking again (answers and frames are
    // written with the send timeout) and it is routed.
    const auto dispatchRequest = [&](int fd) {
        ::epoll_ctl(ep, EPOLL_CTL_DEL, fd, nullptr);
        auto node = reading.extract(fd);
        SetBlocking(fd, true);
        std::string text = node.mapped().request.text();
        if (RouteRequest(text) == RequestRoute::Stream) {
            admitStream(fd, node.mapped().peer, text, reg);
        } else {
            http->async([this, fd, text = std::move(text), reg] { runControlJob(fd, text, *reg); });
        }
    };
    const auto settle = [&](int fd, RequestReader::State state) {
        if (state == RequestReader::State::Complete) dispatchRequest(fd);
        else if (state == RequestReader::State::Rejected) drop(fd);
    };
    const auto acceptReady = [&] {
        while (reading.size() < kMaxConnectionsBeingRead) {
            Reading r;
            socklen_t peerSize = sizeof r.peer;  // room for an IPv6 peer (28 bytes); IPv4 fits too
            const int client = ::accept4(listenFd, reinterpret_cast<sockaddr*>(&r.peer), &peerSize,
                                         SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (client < 0) {
                // Out of descriptors or memory: the waiting connection stays queued and would be
                // reported again at once; stop listening briefly instead of spinning a core.
                if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                    ::epoll_ctl(ep, EPOLL_CTL_DEL, listenFd, nullptr);
                    listening = false;
                    resumeListening = Clock::now() + std::chrono::milliseconds(10);
                }
                return;
            }
            ConfigureAcceptedSocket(client);
            r.deadline = Clock::now() + kRequestDeadline;
            if (!watch(client, EPOLLIN | EPOLLRDHUP)) {
                ::close(client);
                continue;
            }
            reading.emplace(client, std::move(r));
        }
    };

    epoll_event events[64];
    while (running.load()) {
        // Listen again once below the bound (and past a pause for descriptors).
        if (!listening && reading.size() < kMaxConnectionsBeingRead && Clock::now() >= resumeListening) {
            listening = watch(listenFd, EPOLLIN);
        } else if (listening && reading.size() >= kMaxConnectionsBeingRead) {
            ::epoll_ctl(ep, EPOLL_CTL_DEL, listenFd, nullptr);
            listening = false;
        }
        // Sleep until the nearest deadline (or the end of a pause).
        Clock::time_point next = Clock::time_point::max();
        for (const auto& [fd, r] : reading) next = std::min(next, r.deadline);
        if (!listening && reading.size() < kMaxConnectionsBeingRead) next = std::min(next, resumeListening);
        int timeoutMs = -1;
        if (next != Clock::time_point::max()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
            timeoutMs = static_cast<int>(std::max<int64_t>(0, left));
        }
        const int n = ::epoll_wait(ep, events, 64, timeoutMs);
        if (!running.load()) break;
        for (int i = 0; i < n; ++i) {
            const int fd = events[i].data.fd;
            if (fd == wakeFd) continue;
            if (fd == listenFd) {
                acceptReady();
                continue;
            }
            auto it = reading.find(fd);
            if (it != reading.end()) settle(fd, ReadReady(fd, it->second.request));
        }
        // Requests past their deadline are taken as they are, or dropped.
        const auto now = Clock::now();
        for (auto it = reading.begin(); it != reading.end();) {
            const int fd = it->first;
            const bool late = it->second.deadline <= now;
            ++it;  // settle may erase this entry
            if (late) {
                auto& r = reading.at(fd);
                settle(fd, r.request.end());
            }
        }
    }
    for (auto& [fd, r] : reading) ::close(fd);
    reading.clear();
    ::close(ep);
}

bool MJPEGServer::serveControlConnection(int fd) {
    if (fd < 0) return false;
    ConfigureAcceptedSocket(fd);
    SetBlocking(fd, false);
    RequestReader request;
    const auto deadline = Clock::now() + kRequestDeadline;
    RequestReader::State state = RequestReader::State::Incomplete;
    while ((state = ReadReady(fd, request)) == RequestReader::State::Incomplete) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            state = request.end();
            break;
        }
        pollfd p = {fd, POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(left));
    }
    SetBlocking(fd, true);
    if (state != RequestReader::State::Complete || RouteRequest(request.text()) == RequestRoute::Stream) {
        ::close(fd);
        return false;
    }
    std::shared_ptr<ClientRegistry> reg = impl_->ensureRegistry();
    impl_->runControlJob(fd, request.text(), *reg);
    return true;
}
