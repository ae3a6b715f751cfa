// The phone's printed lines: one line per event, each starting with "[phone NAME] ". Ordinary
// lines go to one stream, errors to another; lines from different threads and reporters never
// interleave.
#pragma once

#include <ostream>
#include <string>

namespace qlophone {

class Reporter {
public:
    Reporter(std::string name, std::ostream& out, std::ostream& err);

    void info(const std::string& line);
    void error(const std::string& line);

private:
    void write(std::ostream& stream, const std::string& line);

    std::string prefix_;
    std::ostream& out_;
    std::ostream& err_;
};

}  // namespace qlophone
