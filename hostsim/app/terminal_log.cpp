#include "hostsim/app/terminal_log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <system_error>

#include "hostsim/app/log_notices.h"
#include "platform/log.h"

namespace qlo::hostsim {

namespace {

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// The plug-in's lines that report a failure or something refused: each begins with one of these.
const char* const kPluginWarningPrefixes[] = {
    "[Quillo] Failed to start ",         // the server or the motion receiver: a port in use
    "[Quillo] Registration failed",      // the host refused the menu command or the panel
    "[Quillo] Script error: ",           // a script the plug-in ran failed in the host
    "[Quillo] AEGP_DoCommand(2285) failed",
    "[Quillo Bonjour] FAILED ",          // the announcement could not be published or updated
    "[Quillo Motion] Receive failed",    // motion stays off
    "[Quillo Cam] GetCompNumLayers failed",
};
// ... or holds one of these, after the place it happened ("[Quillo] IdleHook: ...").
const char* const kPluginWarningParts[] = {
    ": host suite missing (error ",
    ": unexpected error",
    " senders known; ignoring datagrams from new sender ",
};

}  // namespace

bool ShowsOnTerminal(const std::string& line) {
    if (!StartsWith(line, "[Quillo]") && !StartsWith(line, "[Quillo ")) return true;
    for (const char* prefix : kPluginWarningPrefixes) {
        if (StartsWith(line, prefix)) return true;
    }
    const std::string::size_type tagEnd = line.find(']');
    for (const char* part : kPluginWarningParts) {
        if (line.find(part, tagEnd) != std::string::npos) return true;
    }
    return false;
}

std::string TimeStamp() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03ld", local.tm_hour, local.tm_min, local.tm_sec,
                  now.tv_nsec / 1000000L);
    return text;
}

LogRouter::LogRouter(std::string path, bool verbose, Terminal terminal, uintmax_t rotateBytes)
    : path_(std::move(path)), verbose_(verbose), terminal_(std::move(terminal)), rotateBytes_(rotateBytes) {
    if (!path_.empty()) open();
    sink_ = log::AddSink([this](log::Level, const std::string& line) { route(line); });
}

LogRouter::~LogRouter() { log::RemoveSink(sink_); }

void LogRouter::open() {
    std::error_code error;
    const std::filesystem::path path(path_);
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), error);
    regular_ = !std::filesystem::exists(path, error) || std::filesystem::is_regular_file(path, error);
    const uintmax_t size = std::filesystem::file_size(path, error);
    fileBytes_ = error ? 0 : size;
    if (regular_ && fileBytes_ >= rotateBytes_) {
        rotate();
        return;
    }
    errno = 0;
    file_.open(path_, std::ios::app);
    if (!file_) fileError_ = errno != 0 ? std::strerror(errno) : "cannot open it";
}

void LogRouter::rotate() {
    file_.close();
    std::error_code error;
    std::filesystem::rename(path_, path_ + ".1", error);
    // A file that cannot be moved aside keeps growing rather than losing its lines.
    if (error) regular_ = false;
    fileBytes_ = 0;
    errno = 0;
    file_.open(path_, error ? std::ios::app : std::ios::trunc);
    if (!file_) fileError_ = errno != 0 ? std::strerror(errno) : "cannot open it";
}

void LogRouter::route(const std::string& line) {
    const std::string stamped = TimeStamp() + " " + line + "\n";
    {
        std::lock_guard<std::mutex> lock(fileMutex_);
        if (file_.is_open()) {
            file_ << stamped << std::flush;
            fileBytes_ += stamped.size();
            if (regular_ && fileBytes_ >= rotateBytes_) rotate();
        }
    }
    std::string shown;
    if (verbose_ || ShowsOnTerminal(line)) shown = stamped;
    if (const std::optional<std::string> notice = NoticeForLogLine(line)) shown += "quillo-host: " + *notice + "\n";
    if (!shown.empty()) terminal_(shown);
}

}  // namespace qlo::hostsim
