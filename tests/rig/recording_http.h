// The plug-in fixture with a phone's short control requests (POST /record, POST /camera) sent from
// its own loopback address: the server has put the command into its mailbox once it answers.
#pragma once

#include <cmath>
#include <string>

#include "engine/plugin_fixture.h"

class RigTest : public PluginTest {
protected:
    // Posts as the phone at 127.0.0.2 does and runs the pass that carries the request out.
    void post(const std::string& path, const std::string& body) {
        const std::string answer = qlotest::Exchange(httpPort, qlotest::Post(path, body), "127.0.0.2");
        EXPECT_NE(answer.find(" 200 "), std::string::npos) << answer;
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
