#include "base/host_handles.h"

template <class Read>
bool HostMemory::withLocked(Read read) const {
    void* locked = nullptr;
    if (!*this || suite()->AEGP_LockMemHandle(get(), &locked) != A_Err_NONE) return false;
    const bool done = locked != nullptr;
    if (done) read(locked);
    suite()->AEGP_UnlockMemHandle(get());
    return done;
}

bool HostMemory::readText(std::string* text) const {
    return withLocked([text](const void* locked) { *text = static_cast<const char*>(locked); });
}

bool HostMemory::readUtf16(std::u16string* text) const {
    return withLocked([text](const void* locked) {
        const auto* units = static_cast<const A_UTF16Char*>(locked);
        size_t length = 0;
        while (units[length] != 0) ++length;
        text->assign(units, units + length);
    });
}
