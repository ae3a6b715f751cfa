// What many tests need: bounded waiting, requests over loopback from a phone's own source address
// (127.0.0.2, 127.0.0.3, ...), and counts of this process's open descriptors and threads.
// Every wait is bounded: client sockets time out after 10 s, WaitUntil gives up after `seconds`.
#pragma once

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>

namespace qlotest {

// Polls until the condition holds or `seconds` passed; returns the condition's last value.
template <class Condition>
bool WaitUntil(Condition condition, double seconds = 10.0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A TCP connection to 127.0.0.1:port from `sourceIp`, with 10 s timeouts. receiveBuffer > 0
// shrinks the client's receive buffer before connecting. Returns -1 on failure.
inline int ConnectFrom(const char* sourceIp, uint16_t port, int receiveBuffer = 0) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    // Phones live at high descriptor numbers, out of the way of the server's own sockets (the
    // test that reuses a socket number relies on that).
    const int high = fcntl(fd, F_DUPFD_CLOEXEC, 400);
    if (high >= 0) {
        close(fd);
        fd = high;
    }
    if (receiveBuffer > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in local = {}, remote = {};
    local.sin_family = remote.sin_family = AF_INET;
    inet_pton(AF_INET, sourceIp, &local.sin_addr);
    inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
    remote.sin_port = htons(port);
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
        close(fd);
        return -1;
    }
    const timeval tv{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    return fd;
}

inline bool SendText(int fd, const std::string& text) {
    for (size_t sent = 0; sent < text.size();) {
        const ssize_t n = send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// Everything the peer sends until it closes (or the client's timeout passes).
inline std::string ReadToEnd(int fd) {
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) out.append(buffer, static_cast<size_t>(n));
    return out;
}

// One control request: connect from sourceIp, send, read the whole answer.
inline std::string Exchange(uint16_t port, const std::string& request, const char* sourceIp = "127.0.0.1") {
    const int fd = ConnectFrom(sourceIp, port);
    if (fd < 0) return "<connect failed>";
    SendText(fd, request);
    std::string answer = ReadToEnd(fd);
    close(fd);
    return answer;
}

inline std::string Post(const std::string& path, const std::string& body) {
    return "POST " + path + " HTTP/1.1\r\nHost: quillo\r\nContent-Type: application/json\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

inline std::string Get(const std::string& path) { return "GET " + path + " HTTP/1.1\r\nHost: quillo\r\n\r\n"; }

// Entries of a /proc folder of this process: "fd" (open descriptors) or "task" (threads).
inline int CountProcEntries(const char* folder) {
    const std::string path = std::string("/proc/self/") + folder;
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) return -1;
    int n = 0;
    while (const dirent* e = readdir(dir)) n += e->d_name[0] != '.';
    closedir(dir);
    return n - (std::string(folder) == "fd" ? 1 : 0);  // the descriptor reading the folder
}

// Threads of this process, without the workers of the process-wide utility queue (reverse name
// lookups run there): that queue starts workers on demand, up to its limit, and keeps them idle
// for the life of the process by design.
inline int CountServiceThreads() {
    DIR* dir = opendir("/proc/self/task");
    if (dir == nullptr) return -1;
    int n = 0;
    while (const dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        char name[64] = {};
        if (FILE* f = std::fopen((std::string("/proc/self/task/") + e->d_name + "/comm").c_str(), "r")) {
            if (std::fgets(name, sizeof name, f) == nullptr) name[0] = '\0';
            std::fclose(f);
        }
        n += std::string(name).find("utility") == std::string::npos;
    }
    closedir(dir);
    return n;
}

}  // namespace qlotest
