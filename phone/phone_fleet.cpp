#include "phone/phone_fleet.h"

#include "phone/stats_json.h"

#include <arpa/inet.h>

#include <memory>
#include <thread>

namespace qlophone {

std::optional<std::string> NextIpv4(const std::string& first, uint32_t index) {
    in_addr address{};
    if (inet_pton(AF_INET, first.c_str(), &address) != 1) return std::nullopt;
    const uint64_t value = static_cast<uint64_t>(ntohl(address.s_addr)) + index;
    if (value > 0xFFFFFFFFull) return std::nullopt;
    address.s_addr = htonl(static_cast<uint32_t>(value));
    char text[INET_ADDRSTRLEN] = {};
    if (!inet_ntop(AF_INET, &address, text, sizeof(text))) return std::nullopt;
    return std::string(text);
}

std::vector<Options> PhoneOptionsFor(const Options& options, std::string& error) {
    if (options.count <= 1) return {options};
    std::vector<Options> phones;
    const std::string first = options.sourceIp.value_or("127.0.0.2");
    for (uint32_t i = 0; i < options.count; ++i) {
        Options phone = options;
        phone.count = 1;
        phone.name = options.name + " " + std::to_string(i + 1);
        if (phone.name.size() > kMaxDeviceNameBytes) {
            error = "the name \"" + phone.name + "\" is longer than 127 bytes";
            return {};
        }
        phone.sourceIp = NextIpv4(first, i);
        if (!phone.sourceIp) {
            error = "no IPv4 address " + std::to_string(i) + " places after " + first;
            return {};
        }
        if (options.path.kind() == MotionPath::Kind::Handheld) phone.path = MotionPath::Handheld(i + 1);
        phones.push_back(std::move(phone));
    }
    return phones;
}

FleetResult RunFleet(const Options& options, std::ostream& out, std::ostream& err, const std::atomic<bool>* stop) {
    FleetResult fleet;
    std::string error;
    fleet.phones = PhoneOptionsFor(options, error);
    if (fleet.phones.empty()) {
        fleet.failure = {FailureKind::Usage, error};
        err << "quillo-phone: " << error << "\n";
        return fleet;
    }
    fleet.results.resize(fleet.phones.size());
    std::vector<std::unique_ptr<Reporter>> reporters;
    for (const Options& phone : fleet.phones) reporters.push_back(std::make_unique<Reporter>(phone.name, out, err));
    if (fleet.phones.size() == 1) {
        fleet.results[0] = PhoneSession(fleet.phones[0], *reporters[0], stop).run();
    } else {
        // Lines of different phones go to the same streams; each whole line is written at once.
        std::vector<std::thread> threads;
        for (size_t i = 0; i < fleet.phones.size(); ++i) {
            threads.emplace_back([&, i] { fleet.results[i] = PhoneSession(fleet.phones[i], *reporters[i], stop).run(); });
        }
        for (auto& t : threads) t.join();
    }
    for (const SessionResult& r : fleet.results) {
        if (r.failure && !fleet.failure) fleet.failure = r.failure;
    }
    if (!options.statsJson.empty()) {
        Failure written = WriteStatsJson(options.statsJson, StatsJson(fleet.phones, fleet.results));
        if (written) {
            err << "quillo-phone: " << written.message << "\n";
            if (!fleet.failure) fleet.failure = written;
        } else {
            out << "quillo-phone: statistics written to " << options.statsJson << "\n";
        }
    }
    return fleet;
}

}  // namespace qlophone
