// Logging: formatting, the unified log's "%{public}" markers, standard error and sinks.
//
// Every line is formatted outside the lock, then handed to standard error and to every sink while
// one lock is held, so sinks see lines in the order they were written and never two at once.
// The lock is recursive only so that a sink that breaks the rule and logs (or adds or removes a
// sink) does not deadlock: such a nested line goes to standard error alone.
#include "platform/log.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <utility>

#include <sys/time.h>

namespace qlo::log {
namespace {

struct State {
    std::recursive_mutex mutex;
    std::vector<std::pair<int, std::shared_ptr<Sink>>> sinks;
    int nextId = 1;
    std::atomic<bool> stderrEnabled{true};
    std::atomic<bool> infoEnabled{true};
};

// Never destroyed: threads (queues, detached workers) may log while the process exits.
State& state() {
    static State* s = new State;
    return *s;
}

thread_local int t_writing = 0;  // > 0 while this thread is inside write() (calling sinks)

std::string formatV(const char* fmt, va_list args) {
    if (!fmt) return std::string();
    char stackBuf[512];
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(stackBuf, sizeof stackBuf, fmt, copy);
    va_end(copy);
    if (n < 0) return std::string("<log format error: ") + fmt + ">";
    if (static_cast<size_t>(n) < sizeof stackBuf) return std::string(stackBuf, static_cast<size_t>(n));
    std::string out(static_cast<size_t>(n) + 1, '\0');
    va_copy(copy, args);
    std::vsnprintf(out.data(), out.size(), fmt, copy);
    va_end(copy);
    out.resize(static_cast<size_t>(n));
    return out;
}

void writeStderr(const std::string& line) {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    struct tm tmv;
    time_t secs = tv.tv_sec;
    localtime_r(&secs, &tmv);
    char stamp[40];
    size_t len = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tmv);
    std::snprintf(stamp + len, sizeof stamp - len, ".%03d ", static_cast<int>(tv.tv_usec / 1000));
    std::string out;
    out.reserve(std::strlen(stamp) + line.size() + 1);
    out += stamp;
    out += line;
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}

void write(Level level, std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    State& s = state();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    if (t_writing > 0) {
        // A sink logged: no sinks again (that would recurse), standard error only.
        writeStderr("(logged from a log sink) " + line);
        return;
    }
    if (s.stderrEnabled.load(std::memory_order_relaxed)) writeStderr(line);
    if (s.sinks.empty()) return;
    ++t_writing;
    // A copy of the pointers, in case a sink (against the rule) adds or removes sinks.
    auto sinks = s.sinks;
    for (auto& entry : sinks) (*entry.second)(level, line);
    --t_writing;
}

}  // namespace

std::string ConvertUnifiedFormat(const char* fmt) {
    std::string out;
    if (!fmt) return out;
    out.reserve(std::strlen(fmt));
    const char* p = fmt;
    while (*p) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        out += *p++;  // '%'
        if (*p == '%') {
            out += *p++;
            continue;
        }
        // Privacy and type annotations: "{public}", "{private}", "{public, name=x}", ...
        if (*p == '{') {
            const char* close = std::strchr(p, '}');
            if (close) p = close + 1;
        }
        // Flags, width, precision and length modifiers pass through unchanged.
        while (*p && std::strchr("-+ #0123456789.*'hlLqjzt", *p)) out += *p++;
        if (*p == '@') {  // an object argument: the text stand-in is a C string
            out += 's';
            ++p;
        }
        // Any other conversion character is copied by the main loop.
    }
    return out;
}

void LogV(const char* fmt, va_list args) { write(Level::Plain, formatV(fmt, args)); }

void Log(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string line = formatV(fmt, args);
    va_end(args);
    write(Level::Plain, std::move(line));
}

bool InfoEnabled() { return state().infoEnabled.load(); }
void SetInfoEnabled(bool enabled) { state().infoEnabled.store(enabled); }

void LogInfo(const char* fmt, ...) {
    if (!InfoEnabled()) return;
    std::string converted = ConvertUnifiedFormat(fmt);
    va_list args;
    va_start(args, fmt);
    std::string line = formatV(converted.c_str(), args);
    va_end(args);
    write(Level::Info, std::move(line));
}

void SetStderrEnabled(bool enabled) { state().stderrEnabled.store(enabled); }

int AddSink(Sink sink) {
    State& s = state();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    int id = s.nextId++;
    s.sinks.emplace_back(id, std::make_shared<Sink>(std::move(sink)));
    return id;
}

void RemoveSink(int id) {
    std::shared_ptr<Sink> removed;  // destroyed after the lock is released
    State& s = state();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    for (auto it = s.sinks.begin(); it != s.sinks.end(); ++it) {
        if (it->first == id) {
            removed = std::move(it->second);
            s.sinks.erase(it);
            break;
        }
    }
}

CaptureSink::CaptureSink() {
    id_ = AddSink([this](Level, const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(line);
    });
}

CaptureSink::~CaptureSink() { RemoveSink(id_); }

std::vector<std::string> CaptureSink::lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

std::vector<std::string> CaptureSink::matching(const std::string& text) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const auto& line : lines_)
        if (line.find(text) != std::string::npos) out.push_back(line);
    return out;
}

size_t CaptureSink::count(const std::string& text) const {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t n = 0;
    for (const auto& line : lines_)
        if (line.find(text) != std::string::npos) ++n;
    return n;
}

void CaptureSink::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
}

}  // namespace qlo::log
