// What went wrong in a run of the phone, and the exit status each kind of failure gives.
#pragma once

#include <string>

namespace qlophone {

enum class FailureKind {
    None,        // success
    Usage,       // bad command line
    Connection,  // could not connect, connection lost, timed out, stream closed early
    Protocol,    // the peer answered something the phone does not accept
    Discovery,   // DNS-SD found nothing or its daemon is unreachable
    File,        // a local file could not be written
};

// 0 success, 2 usage, 3 connection, 4 protocol, 5 discovery, 6 file.
int ExitCodeFor(FailureKind kind);

// A failure kind with its one-line explanation; kind None means success.
struct Failure {
    FailureKind kind = FailureKind::None;
    std::string message;

    explicit operator bool() const { return kind != FailureKind::None; }
};

}  // namespace qlophone
