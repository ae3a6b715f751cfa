// The plug-in attached in-process to the stand-in host with its services on free ports, a driven
// idle clock (each pass() is one 16 ms work pass), and phones as small clients on their own
// loopback addresses: an MJPEG stream plus a motion socket each.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <thread>

#include "engine/engine_state.h"
#include "host/plugin.h"
#include "hostsim/app/host_app.h"
#include "hostsim/suites/model_suites.h"
#include "link/mjpeg_server.h"
#include "link/motion_datagram.h"
#include "tests/link/datagram_encoder.h"
#include "link/motion_receiver.h"
#include "platform/log.h"
#include "rig/rig_state.h"
#include "support/test_support.h"

namespace qh = qlo::hostsim;
using V = std::vector<std::string>;

inline sockaddr* Ipv4(const char* ip, uint16_t port, sockaddr_in& a) {
    a = sockaddr_in{AF_INET, htons(port), {}, {}};
    inet_pton(AF_INET, ip, &a.sin_addr);
    return reinterpret_cast<sockaddr*>(&a);
}

// Polls `done` for at most 5 s.
template <class F>
bool WaitFor(F done) {
    return qlotest::WaitUntil(done, 5.0);
}

// Every stream the phones write into, live or recorded.
inline constexpr AEGP_LayerStream kRigStreams[] = {
    AEGP_LayerStream_ORIENTATION,    AEGP_LayerStream_POSITION,   AEGP_LayerStream_ZOOM,
    AEGP_LayerStream_FOCUS_DISTANCE, AEGP_LayerStream_APERTURE,   AEGP_LayerStream_BLUR_LEVEL,
    AEGP_LayerStream_DEPTH_OF_FIELD};

class Phone {
public:
    Phone(const char* ip, uint16_t httpPort, uint16_t motionPort, const std::string& query) {
        sockaddr_in self, server;
        bind(fd_, Ipv4(ip, 0, self), sizeof self);
        bind(udp_, Ipv4(ip, 0, self), sizeof self);
        Ipv4("127.0.0.1", motionPort, motion_);
        connect(fd_, Ipv4("127.0.0.1", httpPort, server), sizeof server);
        const std::string request = "GET /stream" + query + " HTTP/1.1\r\n\r\n";
        send(fd_, request.data(), request.size(), MSG_NOSIGNAL);
        reader_ = std::thread([this] { read(); });
    }
    ~Phone() {
        shutdown(fd_, SHUT_RDWR);
        reader_.join();
        close(fd_), close(udp_);
    }
    void move(std::array<float, 6> v, MotionDatagramType type = MotionDatagramType::Sample) {
        const auto d = EncodeMotionDatagram(type, v);
        sendto(udp_, d.data(), d.size(), 0, reinterpret_cast<const sockaddr*>(&motion_), sizeof motion_);
    }
    V frames() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return frames_;
    }
    size_t count() const { return frames().size(); }

private:
    // Collects the JPEG of every part of the multipart stream.
    void read() {
        std::string buf;
        char chunk[65536];
        for (ssize_t n; (n = recv(fd_, chunk, sizeof chunk, 0)) > 0;) {
            buf.append(chunk, static_cast<size_t>(n));
            for (size_t at, end, length; (at = buf.find("Length: ")) != buf.npos &&
                                         (end = buf.find("\r\n\r\n", at)) != buf.npos &&
                                         buf.size() >= end + 4 + (length = std::stoul(buf.substr(at + 8)));) {
                std::lock_guard<std::mutex> lock(mutex_);
                frames_.push_back(buf.substr(end + 4, length));
                buf.erase(0, end + 4 + length);
            }
        }
    }
    int fd_ = socket(AF_INET, SOCK_STREAM, 0), udp_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in motion_;
    std::thread reader_;
    mutable std::mutex mutex_;
    V frames_;
};

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        qlo::log::SetStderrEnabled(getenv("QLO_TEST_STDERR") != nullptr);
        qlo::log::SetInfoEnabled(true);
        QLOSetServicePorts(0, 0);
        qh::SetCurrentProject(qh::MakeDemoProject());
        comp = qh::CurrentProject().findItemByName("Demo")->asComposition();
        loadPlugin();
        SetIdleClock([this] { return clockNs; });
        startServices();
    }
    void TearDown() override {
        phones.clear();
        app.reset();
        SetIdleClock(nullptr);
    }
    // A new host with the plug-in loaded into it; the earlier host, if any, is gone first.
    void loadPlugin() {
        app.reset();
        app = std::make_unique<qh::HostApp>();
        app->attachPlugin("Quillo", &EntryPointFunc);
    }
    // Shows the panel, which starts the services, and learns the ports they bound.
    void startServices() {
        app->chooseMenuCommand(kQLOPanelName);
        ASSERT_TRUE(g_server && g_motion);
        g_server->setNameLookup([](const sockaddr*, socklen_t) { return std::string(); });
        const auto port = [&](const char* prefix) {
            const std::string line = log.matching(prefix).back();
            return static_cast<uint16_t>(std::stoi(line.substr(line.rfind(' '))));
        };
        httpPort = port("[Quillo] MJPEG server listening on port ");
        motionPort = port("[Quillo] MotionReceiver listening on UDP port ");
    }
    void pass(int n = 1) {
        for (int i = 0; i < n; ++i, app->runRounds(1)) clockNs += kWorkIntervalNs;
    }
    // A phone streaming from `ip`; returns once the server lists `clients` phones, this one named.
    Phone& connect(const char* ip, const std::string& query, const std::string& name, int clients) {
        phones.push_back(std::make_unique<Phone>(ip, httpPort, motionPort, query));
        EXPECT_TRUE(WaitFor([&] {
            const auto all = g_server->snapshotClients();
            return std::ranges::count_if(all, [&](const ClientInfo& c) { return c.ip == std::string(ip) && c.name == name; }) &&
                   static_cast<int>(all.size()) == clients;
        }));
        // A stream that names its device also posts its camera choice, just after it is listed.
        if (query.find("deviceName=") != std::string::npos) {
            EXPECT_TRUE(WaitFor([] { return g_server->hasPendingSelectCamera(); }));
        }
        return *phones.back();
    }
    // The server notices a phone has gone when a frame to it cannot be sent: passes run until then.
    void disconnect(Phone& phone, int clientsLeft) {
        std::erase_if(phones, [&](const auto& p) { return p.get() == &phone; });
        EXPECT_TRUE(WaitFor([&] { return pass(), g_server->clientCount() == clientsLeft; }));
    }
    // Sends a sample and waits until the receiver holds it.
    void moveAndWait(Phone& phone, std::array<float, 6> v, MotionDatagramType type = MotionDatagramType::Sample) {
        phone.move(v, type);
        EXPECT_TRUE(WaitFor([&] {
            std::array<float, 6> o;
            g_motion->getLatestMotion(o[0], o[1], o[2], o[3], o[4], o[5]);
            return o == v;
        }));
    }
    // Turns the phone to `yaw` degrees and runs the pass that applies it.
    void turn(Phone& phone, float yaw) {
        moveAndWait(phone, {0, yaw, 0, 0, 0, 0});
        pass();
    }
    // The user's animation on the layer: keys at 0 and 5 s on every stream the phones write.
    void animate(const std::string& name) {
        for (AEGP_LayerStream s : kRigStreams) {
            qh::Stream& stream = *layer(name)->stream(s);
            qh::Value end = stream.valueAt(0);
            end.v[0] += 1;
            stream.setKeyframe(0, stream.valueAt(0));
            stream.setKeyframe(5, end);
        }
    }
    // Blocks or allows the phones named `name`.
    void allow(const std::string& name, bool allowed) {
        for (const ClientInfo& c : g_server->snapshotClients())
            if (c.name == name) g_server->setClientAllowed(c.fd, allowed);
    }
    // Records, for every render, the cameras whose video switch is on; each frame is painted apart.
    void spyRenders() {
        qh::SetFrameRenderer([this](qh::Project&, const qh::RenderRequest&, qh::World& out) {
            renders.emplace_back();
            for (const auto& l : comp->layers())
                if (l->type() == qh::LayerType::Camera && l->hasFlag(AEGP_LayerFlag_VIDEO_ACTIVE)) renders.back().push_back(l->name);
            out.fill8(PF_Pixel8{255, static_cast<A_u_char>(renders.size() * 50), 0, 0});
            return A_Err_NONE;
        });
    }
    qh::Layer* layer(const std::string& name, qh::Composition* in = nullptr) {
        for (const auto& l : (in ? in : comp)->layers())
            if (l->name == name) return l.get();
        return nullptr;
    }
    bool on(const std::string& name) { return layer(name)->hasFlag(AEGP_LayerFlag_VIDEO_ACTIVE); }
    long cameras(const std::string& name) {
        return std::ranges::count_if(comp->layers(), [&](const auto& l) { return l->type() == qh::LayerType::Camera && l->name == name; });
    }
    AEGP_CompH compH() { return qh::CompHandle(*comp); }
    AEGP_ItemH itemH() { return qh::ItemHandle(*comp); }

    qlo::log::CaptureSink log;
    std::unique_ptr<qh::HostApp> app;
    qh::Composition* comp = nullptr;
    int64_t clockNs = 0;
    uint16_t httpPort = 0, motionPort = 0;
    std::vector<std::unique_ptr<Phone>> phones;
    std::vector<V> renders;
};
