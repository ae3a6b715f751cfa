// Checks that main-thread-only code runs on the host's main thread. The host calls every hook
// there, and the plug-in's process-wide state (rig records, saved switches, live keys, counters,
// the services) has no lock because only that thread touches it. In builds with
// QLO_MAIN_THREAD_CHECKS (debug and sanitizer builds, whose tests run them) a call from any other
// thread aborts with a message naming what was used; other builds compile the checks away.
#pragma once

#if defined(QLO_MAIN_THREAD_CHECKS) && QLO_MAIN_THREAD_CHECKS
// Aborts unless the calling thread is the main run loop's thread.
void QLOCheckMainThread(const char* what);
#define QLO_MAIN_THREAD_ONLY(what) QLOCheckMainThread(what)
#else
#define QLO_MAIN_THREAD_ONLY(what) static_cast<void>(0)
#endif
