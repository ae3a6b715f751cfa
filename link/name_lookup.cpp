#include "link/name_lookup.h"

#include <netdb.h>

std::string ReverseLookupHostName(const struct sockaddr* address, socklen_t length) {
    if (address == nullptr) return std::string();
    char host[1025] = {};
    if (::getnameinfo(address, length, host, sizeof host, nullptr, 0, NI_NAMEREQD) != 0) {
        return std::string();
    }
    return std::string(host);
}

std::string StripLocalSuffix(std::string name) {
    static constexpr std::string_view kSuffix = ".local";
    if (name.size() > kSuffix.size() &&
        std::string_view(name).substr(name.size() - kSuffix.size()) == kSuffix) {
        name.resize(name.size() - kSuffix.size());
    }
    return name;
}
