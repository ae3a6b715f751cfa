// The reverse name lookup that names a new stream peer whose phone did not say its name.
#pragma once

#include <sys/socket.h>

#include <functional>
#include <string>

// A peer address in, its host name out (empty when it has none). May block for a long time
// (a DNS query): it runs on the global utility queue, never on the server's own queues.
using NameLookup = std::function<std::string(const struct sockaddr* address, socklen_t length)>;

// The system's lookup: getnameinfo with NI_NAMEREQD (a name is required, no numeric fall-back),
// into a 1025-byte buffer, no service. Empty on failure.
std::string ReverseLookupHostName(const struct sockaddr* address, socklen_t length);

// A host name ending in ".local" without that suffix; a name that is exactly ".local" (or does not
// end in it) unchanged.
std::string StripLocalSuffix(std::string name);
