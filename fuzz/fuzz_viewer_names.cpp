// Property: the camera names the viewer script carries find their cameras in quillo-host's own
// script engine, and read back as exactly those names. The input is split at 0x1F bytes into up
// to four names. Each becomes a camera layer named the way the plug-in names one (its UTF-8 to
// UTF-16 conversion, then the host's UTF-16 to UTF-8), and a script built with the viewer
// script's quoting looks every name up with comp.layer(name): the first camera of that name
// must come back, and its name must equal the script's string. Nothing here converts text
// itself: a name beyond U+FFFF, a byte that is not UTF-8 or a control character all go through
// the product's conversions and the engine's boundary with the host.
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "hostsim/model/project.h"
#include "hostsim/script/extendscript.h"
#include "platform/utf.h"
#include "rig/layer_names.h"
#include "rig/script_text.h"

using namespace qlo::fuzz;
using namespace qlo::hostsim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 2048) return 0;
    std::vector<std::string> names(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0x1F && names.size() < 4) names.emplace_back();
        else names.back() += static_cast<char>(data[i]);
    }

    auto project = std::make_unique<Project>();
    Composition& comp = project->addComposition("C", 100, 100, 30, 10);
    std::vector<std::string> held;  // the layer names as the host holds them
    for (const std::string& name : names) {
        held.push_back(qlo::text::Utf16ToUtf8(Utf8ToUtf16Lenient(name)));
        comp.addLayer(std::make_unique<Layer>(LayerType::Camera, held.back()), comp.numLayers());
    }
    project->setActiveItem(comp.id());
    SetCurrentProject(std::move(project));

    const std::string source = "var c = app.project.activeItem, n = [" + QuotedScriptNames(names) +
                               "], r = [];\n"
                               "for (var i = 0; i < n.length; i++) {\n"
                               "  var l = c.layer(n[i]);\n"
                               "  r.push(l === null ? 0 : l.index, l !== null && l.name === n[i]);\n"
                               "}\n"
                               "r.join(',')";
    std::string expected;
    for (size_t i = 0; i < names.size(); ++i) {
        size_t first = 0;
        while (held[first] != held[i]) ++first;
        expected += (i == 0 ? "" : ",") + std::to_string(first + 1) + ",true";
    }
    std::string result;
    std::string error;
    if (!script::RunExtendScript(source, &result, &error)) Fail(error.c_str());
    Check(result == expected, "a camera name is not found as itself");
    SetCurrentProject(nullptr);
    return 0;
}
