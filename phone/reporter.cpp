#include "phone/reporter.h"

#include <mutex>

namespace qlophone {

Reporter::Reporter(std::string name, std::ostream& out, std::ostream& err)
    : prefix_("[phone " + std::move(name) + "] "), out_(out), err_(err) {}

void Reporter::info(const std::string& line) { write(out_, line); }

void Reporter::error(const std::string& line) { write(err_, "error: " + line); }

void Reporter::write(std::ostream& stream, const std::string& line) {
    // One lock for every reporter: phones of one process share the output streams.
    static std::mutex outputMutex;
    std::lock_guard<std::mutex> lock(outputMutex);
    // A line break inside a message would start an unprefixed line; show it escaped instead.
    std::string text;
    text.reserve(line.size());
    for (char c : line) {
        if (c == '\n') text += "\\n";
        else if (c == '\r') text += "\\r";
        else text += c;
    }
    stream << prefix_ << text << '\n';
    stream.flush();
}

}  // namespace qlophone
