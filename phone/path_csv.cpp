#include "phone/path_csv.h"

#include "phone/http_response.h"
#include "phone/number_text.h"

#include <cfloat>
#include <cmath>
#include <fstream>

namespace qlophone {

namespace {

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t comma = line.find(',', start);
        fields.push_back(TrimBlanks(line.substr(start, comma == std::string_view::npos ? comma : comma - start)));
        if (comma == std::string_view::npos) return fields;
        start = comma + 1;
    }
}

}  // namespace

std::optional<std::vector<TimedSample>> ParsePathCsv(std::string_view text, std::string& error) {
    std::vector<TimedSample> samples;
    bool headerAllowed = true;
    size_t lineNumber = 0;
    auto fail = [&](const std::string& what) {
        error = "line " + std::to_string(lineNumber) + ": " + what;
        return std::nullopt;
    };
    while (!text.empty()) {
        ++lineNumber;
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = TrimBlanks(line);
        if (line.empty() || line.front() == '#') continue;
        const std::vector<std::string_view> fields = SplitFields(line);
        if (headerAllowed && !fields.empty() && EqualsIgnoreCase(fields[0], "t")) {
            headerAllowed = false;
            std::string joined;
            for (size_t i = 0; i < fields.size(); ++i) joined += (i ? "," : "") + std::string(fields[i]);
            if (!EqualsIgnoreCase(joined, kPathCsvHeader)) {
                return fail("the header must be \"" + std::string(kPathCsvHeader) + "\", not \"" + joined + "\"");
            }
            continue;
        }
        headerAllowed = false;
        if (fields.size() != 7) {
            return fail("expected 7 comma-separated numbers (" + std::string(kPathCsvHeader) + "), found " +
                        std::to_string(fields.size()) + " fields");
        }
        double values[7];
        static const char* const names[7] = {"t", "pitch", "yaw", "roll", "x", "y", "z"};
        for (size_t i = 0; i < 7; ++i) {
            auto v = ParseFiniteDouble(fields[i]);
            if (!v || (i > 0 && std::fabs(*v) > FLT_MAX)) {
                return fail(std::string(names[i]) + " \"" + std::string(fields[i]) + "\" is not a number");
            }
            values[i] = *v;
        }
        if (values[0] < 0.0) return fail("t must not be negative");
        if (!samples.empty() && values[0] <= samples.back().seconds) {
            return fail("t " + std::string(fields[0]) + " is not later than the line before");
        }
        if (samples.size() >= kMaxPathSamples) return fail("more than " + std::to_string(kMaxPathSamples) + " samples");
        TimedSample s;
        s.seconds = values[0];
        s.sample = MotionSample{static_cast<float>(values[1]), static_cast<float>(values[2]),
                                static_cast<float>(values[3]), static_cast<float>(values[4]),
                                static_cast<float>(values[5]), static_cast<float>(values[6])};
        samples.push_back(s);
    }
    if (samples.empty()) {
        error = "no samples (expected lines of " + std::string(kPathCsvHeader) + ")";
        return std::nullopt;
    }
    return samples;
}

std::shared_ptr<const std::vector<TimedSample>> LoadPathCsv(const std::string& fileName, std::string& error) {
    std::ifstream file(fileName, std::ios::binary);
    if (!file) {
        error = fileName + ": cannot be read";
        return nullptr;
    }
    // Read at most 64 MiB: far more than the sample limit needs, and a bound for a wrong file.
    constexpr size_t kMaxBytes = 64u << 20;
    std::string text;
    char chunk[65536];
    while (file.read(chunk, sizeof(chunk)) || file.gcount() > 0) {
        text.append(chunk, static_cast<size_t>(file.gcount()));
        if (text.size() > kMaxBytes) {
            error = fileName + ": larger than 64 MiB";
            return nullptr;
        }
    }
    std::string parseError;
    auto samples = ParsePathCsv(text, parseError);
    if (!samples) {
        // "line 3: ..." becomes "file.csv:3: ..."
        error = fileName + ":" + (parseError.starts_with("line ") ? parseError.substr(5) : " " + parseError);
        return nullptr;
    }
    return std::make_shared<const std::vector<TimedSample>>(std::move(*samples));
}

}  // namespace qlophone
