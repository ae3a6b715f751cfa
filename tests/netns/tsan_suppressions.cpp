// ThreadSanitizer reads this program's default suppressions from here.
//
// libdbus, through which the DNS-SD library talks to its daemon, takes two of its own internal
// mutexes in either order on one thread, both times inside a single DNSServiceResolve call of
// the test's browser. ThreadSanitizer reports that as a potential deadlock within libdbus-1.so;
// no lock of ours is involved, so only lock-order reports from that library are silenced.
extern "C" const char* __tsan_default_suppressions() { return "deadlock:libdbus-1.so\n"; }
