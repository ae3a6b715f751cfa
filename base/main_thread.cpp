#include "base/main_thread.h"

#if defined(QLO_MAIN_THREAD_CHECKS) && QLO_MAIN_THREAD_CHECKS

#include <cstdio>
#include <cstdlib>

#include "platform/runloop.h"

void QLOCheckMainThread(const char* what) {
    if (qlo::runloop::RunLoop::main().isMainThread()) return;
    std::fprintf(stderr, "[Quillo] %s used off the host's main thread\n", what);
    std::fflush(stderr);
    std::abort();
}

#endif
