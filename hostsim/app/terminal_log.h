// Where quillo-host's log lines go. Every line, the host's and the plug-in's, goes to the log
// file, complete. The terminal is for the person at it: without --verbose it shows the host's
// own lines (and anything else without the plug-in's "[Quillo" tag) and, of the plug-in's lines,
// only its warnings and errors; the plug-in's routine diagnostics (heartbeat, client dumps,
// requests, camera scans, motion samples) stay in the file. On the real host those go to the
// system log, not to a terminal. A line that names a failure a user can mend is followed by a
// plain-words notice (log_notices.h).
#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>

namespace qlo::hostsim {

// Whether a log line is shown on the terminal without --verbose.
bool ShowsOnTerminal(const std::string& line);

// Local wall-clock time of day with milliseconds, as the log lines are stamped: "14:03:07.250".
std::string TimeStamp();

// A log sink that routes every line to the file and to the terminal. The file is appended to;
// when it reaches `rotateBytes` (also when it is that large on opening) it is moved to PATH.1,
// replacing an older one, and a fresh file starts, so the two never hold much more than twice
// that. Only a regular file is moved (--log /dev/null or a pipe stays what it is). The sink is
// attached for the lifetime of the object.
class LogRouter {
public:
    // Writes text (whole lines, each with its newline) to the terminal; called under the log's
    // lock, from any thread.
    using Terminal = std::function<void(const std::string&)>;
    static constexpr uintmax_t kRotateBytes = uintmax_t{64} << 20;

    // An empty path: no file. The folder of the file is created when missing.
    LogRouter(std::string path, bool verbose, Terminal terminal, uintmax_t rotateBytes = kRotateBytes);
    ~LogRouter();
    LogRouter(const LogRouter&) = delete;
    LogRouter& operator=(const LogRouter&) = delete;

    // False, with the reason in fileError(), when the file cannot be written.
    bool fileOpen() const { return file_.is_open(); }
    const std::string& fileError() const { return fileError_; }

private:
    void route(const std::string& line);
    void open();
    void rotate();

    const std::string path_;
    const bool verbose_;
    const Terminal terminal_;
    const uintmax_t rotateBytes_;
    std::mutex fileMutex_;
    std::ofstream file_;
    uintmax_t fileBytes_ = 0;
    bool regular_ = true;  // a regular file (or none yet): moved aside when full
    std::string fileError_;
    int sink_ = -1;
};

}  // namespace qlo::hostsim
