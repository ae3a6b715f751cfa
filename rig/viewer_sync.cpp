#include "rig/viewer_sync.h"

#include "base/run_script.h"
#include "platform/log.h"
#include "rig/rig_state.h"
#include "rig/script_text.h"

namespace {

uint64_t g_viewerSyncRuns = 0;

const char* LayoutVariants(size_t n) {
    if (n <= 1) return "['1 View']";
    if (n == 2) return "['2 Views Horizontal','2 Views','2 Views Vertical']";
    return "['4 Views']";
}

}  // namespace

uint64_t ViewerSyncRunCount() { return g_viewerSyncRuns; }

std::string ViewerSignature(const std::vector<std::string>& cameraNames) {
    std::string sig;
    for (const std::string& name : cameraNames) {
        sig += std::to_string(name.size());
        sig += ':';
        sig += name;
        sig += '|';
    }
    return sig;
}

std::string ViewerLayoutScript(const std::vector<std::string>& cameraNames) {
    std::string s;
    s += "(function(){\n";
    s += "  var log = [];\n";
    s += "  var comp = app.project.activeItem;\n";
    s += "  if (!(comp instanceof CompItem)) return 'no-comp';\n";
    s += "  var v = comp.openInViewer(); if (!v) return 'no-viewer';\n";
    s += "  log.push('phones=";
    s += std::to_string(cameraNames.size());
    s += "');\n";
    s += "  log.push('views=' + v.views.length);\n";
    s += "  var layoutVariants = ";
    s += LayoutVariants(cameraNames.size());
    s += ";\n";
    s += "  var lid = 0, lname = '';\n";
    s += "  for (var k = 0; k < layoutVariants.length; k++) {\n";
    s += "    var t = app.findMenuCommandId(layoutVariants[k]);\n";
    s += "    if (t) { lid = t; lname = layoutVariants[k]; break; }\n";
    s += "  }\n";
    s += "  var goToTimeId = app.findMenuCommandId('Go to Time...') || app.findMenuCommandId('Go to Time');\n";
    s += "  if (lid && lid !== goToTimeId) { app.executeCommand(lid); log.push('layout=' + lname + '/' + lid); }\n";
    s += "  else if (lid && lid === goToTimeId) log.push('layout-blocked(would-be-goto-time)/' + lid);\n";
    s += "  else log.push('layout-not-found');\n";
    s += "  v = comp.openInViewer();\n";
    s += "  log.push('views2=' + v.views.length);\n";
    s += "  var cams = [";
    s += QuotedScriptNames(cameraNames);
    s += "];\n";
    s += "  if (v.views.length > 0) {\n";
    s += "    var view0 = v.views[0];\n";
    s += "    var vp = []; for (var k in view0) vp.push(k);\n";
    s += "    log.push('viewProps=' + vp.join(','));\n";
    s += "    var vrp = []; for (var k in v) vrp.push(k);\n";
    s += "    log.push('viewerProps=' + vrp.join(','));\n";
    s += "  }\n";
    s += "  for (var i = 0; i < cams.length; i++) {\n";
    s += "    if (i >= v.views.length) break;\n";
    s += "    try { v.views[i].setActive(); } catch(e) { log.push('setActive'+i+'-err'); }\n";
    s += "    var nm = cams[i];\n";
    s += "    // Assign the camera via direct property write only — NEVER\n";
    s += "    // via app.executeCommand(findMenuCommandId(nm)), which can\n";
    s += "    // open modal dialogs if the layer name collides with a menu.\n";
    s += "    var cl = comp.layer(nm);\n";
    s += "    if (cl) {\n";
    s += "      var tries = ['activeCamera','camera','sourceCamera','cameraLayer'];\n";
    s += "      for (var j = 0; j < tries.length; j++) {\n";
    s += "        try { v.views[i][tries[j]] = cl; log.push('set/'+tries[j]+'=ok'); }\n";
    s += "        catch(e) { log.push('set/'+tries[j]+'-err'); }\n";
    s += "      }\n";
    s += "    } else log.push('layer-not-found(' + nm + ')');\n";
    s += "  }\n";
    s += "  return log.join('|');\n";
    s += "})()";
    return s;
}

void SyncViewerLayoutForPhones(const std::vector<std::string>& cameraNames) {
    const std::string sig = ViewerSignature(cameraNames);
    if (sig == g_lastViewerSig) return;
    // Set before the script runs: a list is acted on once, whether the script succeeds or not.
    g_lastViewerSig = sig;
    std::string result;
    RunScript(ViewerLayoutScript(cameraNames).c_str(), &result);
    // Only a script that found no composition or viewer surely left the viewer alone; one that
    // failed on its way may have changed it.
    if (result != "no-comp" && result != "no-viewer") ++g_viewerSyncRuns;
    qlo::log::LogInfo("[Quillo viewer-sync] %{public}s", result.c_str());
}
