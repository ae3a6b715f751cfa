// The camera-list check of the idle tick. It runs on every call while the server runs, before
// the work throttle. The timeline stage sets the counter back to 0 after the phones'
// composition changed, so that the refresh that enumerates the composition's cameras for
// GET /cameras runs early.
#include "engine/engine_state.h"
#include "engine/idle_stages.h"

void TryRefreshCameraList() {
    ++s_camRefreshTick;
}
