#include "link/socket_io.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

bool SendAll(int fd, const void* data, size_t length) {
    const char* p = static_cast<const char*>(data);
    size_t left = length;
    while (left > 0) {
        const ssize_t n = ::send(fd, p, left, 0);
        if (n <= 0) return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

bool SendAllBefore(int fd, const void* data, size_t length, std::chrono::steady_clock::time_point deadline) {
    const char* p = static_cast<const char*>(data);
    size_t left = length;
    while (left > 0) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        const ssize_t n = ::send(fd, p, left, 0);
        if (n <= 0) return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

void ConfigureAcceptedSocket(int fd) {
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    struct timeval receive = {0, kReceiveTimeoutUs};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &receive, sizeof receive);
    struct timeval send = {kSendTimeoutMs / 1000, (kSendTimeoutMs % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &send, sizeof send);
}

StreamSocket::~StreamSocket() {
    if (fd_ >= 0) ::close(fd_);
}

void StreamSocket::shutdownBoth() {
    if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}
