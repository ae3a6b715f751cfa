// RegisterModelSuites: the model suites' tables, offered under their names and versions. Kept
// in its own file so that programs and tests that do not register suites need no registry.
#include "hostsim/suite_registry.h"
#include "hostsim/suites/model_suites.h"

namespace qlo::hostsim {

void RegisterModelSuites(SuiteRegistry& registry) {
    registry.add(kAEGPItemSuite, kAEGPItemSuiteVersion14, ItemSuite());
    registry.add(kAEGPItemViewSuite, kAEGPItemViewSuiteVersion1, ItemViewSuite());
    registry.add(kAEGPCompSuite, kAEGPCompSuiteVersion25, CompSuite());
    registry.add(kAEGPProjSuite, kAEGPProjSuiteVersion9, ProjSuite());
    registry.add(kAEGPLayerSuite, kAEGPLayerSuiteVersion15, LayerSuite());
    registry.add(kAEGPStreamSuite, kAEGPStreamSuiteVersion11, StreamSuite());
    registry.add(kAEGPKeyframeSuite, kAEGPKeyframeSuiteVersion5, KeyframeSuite());
    registry.add(kAEGPMemorySuite, kAEGPMemorySuiteVersion1, MemorySuite());
    registry.add(kAEGPRenderOptionsSuite, kAEGPRenderOptionsSuiteVersion3, RenderOptionsSuite());
    registry.add(kAEGPRenderSuite, kAEGPRenderSuiteVersion8, RenderSuite());
    registry.add(kAEGPWorldSuite, kAEGPWorldSuiteVersion3, WorldSuite());
    registry.add(kAEGPUtilitySuite, kAEGPUtilitySuiteVersion13, UtilitySuite());
}

}  // namespace qlo::hostsim
