// The server's DNS-SD announcement: service "Quillo - After Effects" of type "_quillo._tcp." in
// the default domains, on the server's TCP port, with a TXT record that always carries
// app=aftereffects and, once known, controlPort=<motion port>. Publication goes through the
// dns_sd.h API (the system's own on macOS, Avahi's compatibility library on Linux); its replies
// are read from the main run loop, so the three report lines are logged on the main thread.
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>

class QLOServiceAnnouncement {
public:
    QLOServiceAnnouncement();
    ~QLOServiceAnnouncement();  // withdraws
    QLOServiceAnnouncement(const QLOServiceAnnouncement&) = delete;
    QLOServiceAnnouncement& operator=(const QLOServiceAnnouncement&) = delete;

    // Publishes with TXT "app" only. Success or failure is reported later, from the run loop,
    // by the published / failed lines. When no DNS-SD daemon is reachable the failure line is
    // logged at once and nothing else happens: the server keeps serving.
    void publish(uint16_t port);
    // Refreshes the TXT record with "controlPort" and "app" (nothing to refresh when not
    // published).
    void setControlPort(uint16_t controlPort);
    // Withdraws the service and logs the stopped line. Nothing when not published.
    void withdraw();
    bool isPublished() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
