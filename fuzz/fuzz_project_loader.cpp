// Property: quillo-host's project loader takes any bytes: it loads them or reports a
// ProjectFileError (never another exception, a crash or unbounded work), and what it loads
// it saves as a file that opens again and saves to the same bytes.
#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"
#include "hostsim/model/project.h"

using namespace qlo::fuzz;
using namespace qlo::hostsim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<Project> project;
    try {
        project = ParseProject(text, "input.json");
    } catch (const ProjectFileError& e) {
        Check(e.line() >= 0 && e.column() >= 0, "a negative position");
        Check(!e.message().empty(), "an error without a message");
        return 0;
    }
    const std::string saved = SerializeProject(*project);
    std::unique_ptr<Project> again;
    try {
        again = ParseProject(saved, "saved.json");
    } catch (const ProjectFileError& e) {
        Fail(e.what());
    }
    Check(SerializeProject(*again) == saved, "a saved project saves differently after opening it");
    return 0;
}
