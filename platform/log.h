// Logging: the plain log call and the info-level ("unified") call, with sinks that tests and the
// host's terminal read. Every line the plug-in writes starts with its "[Quillo" tag; this layer
// does not add or check tags, it carries lines.
#pragma once

#include <cstdarg>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace qlo::log {

enum class Level { Plain, Info };

// The plain log call: printf-style format and arguments.
void Log(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void LogV(const char* fmt, va_list args);

// Whether the info level is enabled (the unified log's "is enabled for info" test).
bool InfoEnabled();
void SetInfoEnabled(bool enabled);

// The info-level call. The format may mark text arguments public, "%{public}s", as the unified
// log wants; such a marker formats exactly like "%s". Does nothing while the info level is off.
void LogInfo(const char* fmt, ...);

// The printf format LogInfo uses for a unified-log format: every "%{...}" annotation is dropped
// ("%{public}s" -> "%s", "%{private}d" -> "%d") and the object conversion "@" becomes "s" (text
// arguments are C strings here), so "%{public}@" and "%@" format like "%s".
std::string ConvertUnifiedFormat(const char* fmt);

// Standard error receives every line (with a time stamp) unless turned off.
void SetStderrEnabled(bool enabled);

// Sinks receive every line (without time stamp or trailing newline), from any thread, in the
// order the lines were written. A sink must not log itself (a line it logs anyway goes to standard
// error only). Sinks are called under the log's lock: once RemoveSink returns, the sink is not
// running and will not be called again.
using Sink = std::function<void(Level, const std::string&)>;
int AddSink(Sink sink);
void RemoveSink(int id);

// A sink that keeps every line, for tests: attach it for the lifetime of the object.
class CaptureSink {
public:
    CaptureSink();
    ~CaptureSink();
    CaptureSink(const CaptureSink&) = delete;
    CaptureSink& operator=(const CaptureSink&) = delete;

    std::vector<std::string> lines() const;
    // Lines that contain the text.
    std::vector<std::string> matching(const std::string& text) const;
    size_t count(const std::string& text) const;
    bool contains(const std::string& text) const { return count(text) > 0; }
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    int id_;
};

}  // namespace qlo::log
