// What sanitizer builds must not blame on this code, for every program of the project:
// - Fontconfig (under Pango and Cairo) keeps its font caches in memory it maps itself, which the
//   leak checker does not scan, so the patterns held there look leaked at exit.
// - Pango loads and matches fonts on threads of its own ("[pango] FcInit", "[pango]
//   FcFontSetMatch") and hands Fontconfig's results to the drawing thread behind GLib locks the
//   thread checker cannot see: every report is Fontconfig memory written there and read here.
// - libdbus, through which the DNS-SD library talks to its daemon, takes two of its own internal
//   mutexes in either order on one thread (inside a single DNSServiceResolve call); no lock of
//   ours is involved, so only lock-order reports from that library are silenced.
// The checkers read these lists from the program itself (the sanitizer runtime's own empty
// defaults come before any shared library's), so the platform library hands this file to every
// target that links it (an interface source); outside sanitizer builds it is empty.
#if defined(__SANITIZE_ADDRESS__)
#define QLO_LEAK_CHECKED 1
#elif defined(__SANITIZE_THREAD__)
#define QLO_THREAD_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define QLO_LEAK_CHECKED 1
#elif __has_feature(thread_sanitizer)
#define QLO_THREAD_CHECKED 1
#endif
#endif

#ifdef QLO_LEAK_CHECKED
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
#endif

#ifdef QLO_THREAD_CHECKED
extern "C" __attribute__((visibility("default"), used)) const char* __tsan_default_suppressions() {
    return "race:libfontconfig.so\ndeadlock:libdbus-1.so\n";
}
#endif
