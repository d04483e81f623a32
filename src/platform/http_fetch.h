// One blocking HTTP GET that returns the body: WinINet on Windows, libcurl elsewhere.
#pragma once

#include <string>

namespace platform {

// The body of the answer to a GET of the address, whatever its status; the bytes that
// arrived when reading breaks off; empty bytes on any failure before the body and for an
// empty address or one without a scheme. HTTP/1.0, no cache, redirects followed.
std::string HttpFetch(const std::string& address);

}  // namespace platform
