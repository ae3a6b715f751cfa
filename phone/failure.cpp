#include "phone/failure.h"

namespace qlophone {

int ExitCodeFor(FailureKind kind) {
    switch (kind) {
        case FailureKind::None: return 0;
        case FailureKind::Usage: return 2;
        case FailureKind::Connection: return 3;
        case FailureKind::Protocol: return 4;
        case FailureKind::Discovery: return 5;
        case FailureKind::File: return 6;
    }
    return 1;
}

}  // namespace qlophone
