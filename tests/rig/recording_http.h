// A phone's short control request (POST /record, POST /camera) from its own loopback address:
// sent, answered, closed. The server has put the command into its mailbox once it answers.
#pragma once

#include <cmath>
#include <string>

#include "engine/plugin_fixture.h"

inline std::string PostFrom(const char* ip, uint16_t port, const std::string& path, const std::string& body) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in self, server;
    bind(fd, Ipv4(ip, 0, self), sizeof self);
    std::string answer;
    if (connect(fd, Ipv4("127.0.0.1", port, server), sizeof server) == 0) {
        const std::string request = "POST " + path + " HTTP/1.1\r\nContent-Type: application/json\r\nContent-Length: " +
                                    std::to_string(body.size()) + "\r\n\r\n" + body;
        send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        char chunk[4096];
        for (ssize_t n; (n = recv(fd, chunk, sizeof chunk, 0)) > 0;) answer.append(chunk, static_cast<size_t>(n));
    }
    close(fd);
    return answer;
}

class RigTest : public PluginTest {
protected:
    // Posts as the phone at 127.0.0.2 does and runs the pass that carries the request out.
    void post(const std::string& path, const std::string& body) {
        EXPECT_NE(PostFrom("127.0.0.2", httpPort, path, body).find(" 200 "), std::string::npos);
        pass();
    }
    void record(const char* mode) { post("/record", std::string("{\"mode\":\"") + mode + "\"}"); }
    const qh::Stream& stream(const std::string& name, AEGP_LayerStream which) { return *layer(name)->stream(which); }
    // Key times in frames of the 30 fps demo composition.
    std::vector<long> keyFrames(const std::string& name, AEGP_LayerStream which) {
        std::vector<long> frames;
        for (const auto& k : stream(name, which).keyframes()) frames.push_back(std::lround(k.time * 30));
        return frames;
    }
    long frameNow() const { return std::lround(comp->currentTime * 30); }
};
