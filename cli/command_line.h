// The command-line style quillo-host and quillo-phone share, on CLI11: options take their value
// as the next argument or after "=", a repeated option keeps its last value, flags take no value,
// help is "--help" or "-h", and a bad command line gives one line, "PROGRAM: what is wrong",
// followed by a pointer to --help, and exit status 2. Header-only: each program includes it.
#pragma once

#include <CLI/CLI.hpp>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace qlo::cli {

inline constexpr int kUsageExitStatus = 2;

struct Outcome {
    bool help = false;
    std::string error;  // empty when the command line is good
};

// CLI11's layout with one blank line between groups of options.
class Layout : public CLI::Formatter {
public:
    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode) const override {
        std::string out = make_description(app) + make_usage(app, name) + make_positionals(app);
        for (const std::string& group : app->get_groups()) {
            const auto opts = app->get_options(
                [&group](const CLI::Option* opt) { return opt->get_group() == group && opt->nonpositional(); });
            if (!group.empty() && !opts.empty()) out += make_group(group, false, opts);
        }
        return out + "\n" + make_footer(app);
    }
};

// Names, help layout and rules every option of `app` follows; the options come next, then
// AddHelp().
inline void Style(CLI::App& app, const std::string& program) {
    app.name(program);
    app.set_help_flag();
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)->disable_flag_override();
    auto layout = std::make_shared<Layout>();
    layout->column_width(26);
    layout->label("OPTIONS", "options");
    layout->label("Usage", "usage");
    app.formatter(layout);
}

// The help option, listed last, in `group`.
inline void AddHelp(CLI::App& app, const std::string& group) {
    app.set_help_flag("-h,--help", "this text")->group(group);
}

// Parses the arguments after the program name; then `check` (which may throw a CLI::ParseError,
// e.g. CLI::ValidationError, for options that exclude or need each other) unless help was asked.
// CLI11's words for an option without its value ("--port: 1 required N missing") and for a flag
// given one ("play was given a disallowed flag override"), in plainer ones.
inline std::string PlainMismatch(const std::string& text) {
    const std::string::size_type colon = text.find(": ");
    if (colon != std::string::npos && text.find(" required ", colon) != std::string::npos &&
        text.size() >= 8 && text.compare(text.size() - 8, 8, " missing") == 0) {
        return text.substr(0, colon) + " needs a value";
    }
    const std::string override = " was given a disallowed flag override";
    const std::string::size_type at = text.find(override);
    if (at != std::string::npos && at + override.size() == text.size()) {
        return "--" + text.substr(0, at) + " takes no value";
    }
    return text;
}

inline Outcome Parse(CLI::App& app, const std::vector<std::string>& args, const std::function<void()>& check) {
    Outcome outcome;
    // "--opt=" would otherwise take the next argument as its value.
    for (const std::string& arg : args) {
        if (arg.size() > 3 && arg.rfind("--", 0) == 0 && arg.back() == '=' && arg.find('=') == arg.size() - 1) {
            outcome.error = arg.substr(0, arg.size() - 1) + " needs a value";
            return outcome;
        }
    }
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them back to front
    try {
        app.parse(reversed);
        if (check) check();
    } catch (const CLI::CallForHelp&) {
        outcome.help = true;
    } catch (const CLI::ArgumentMismatch& e) {
        outcome.error = PlainMismatch(e.what());
    } catch (const CLI::ParseError& e) {
        outcome.error = e.what();
    }
    return outcome;
}

// What a bad command line prints on standard error.
inline std::string ErrorText(const std::string& program, const std::string& error) {
    return program + ": " + error + "\n" + "Run `" + program + " --help` for every option.\n";
}

}  // namespace qlo::cli
