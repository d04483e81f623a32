// Addresses of download tasks: splitting an address into scheme, host and path, resolving
// a Location against the current address, and the escaping that keeps control bytes out
// of request heads. Pure functions, safe on any input (fuzzed directly).
#pragma once

#include <string>
#include <string_view>

namespace engine {

struct Url {
    std::string scheme;    // lower case: http, ftp, mms, mmst or rtsp
    std::string hostPort;  // the host part as written, port included (the Host line)
    std::string host;      // without the port
    int port = 0;          // the scheme's default when none is written
    std::string path;      // from the first "/" after the host, query included
    std::string text;      // the whole address as written (or as resolved from a Location)
};

// False for an empty address, a scheme the engine does not know, no "/" after the host,
// an empty host, a bad port, or a host holding control bytes (0x00-0x1F, 0x7F) or spaces.
bool ParseUrl(std::string_view address, Url* url);

// The target of a redirect: an absolute address, "//host/path", "/path", or a path
// relative to the current one. False when the result is not a valid address.
bool ResolveLocation(const Url& base, std::string_view location, Url* out);

// A path for the request line: each space as %20 and each control byte as %XX, the
// other bytes as they are.
std::string EscapePath(std::string_view path);

// A header value: control bytes as %XX so that no line can be injected.
std::string EscapeHeaderValue(std::string_view value);

// The default Referer: the address up to, not including, its last "/".
std::string DefaultReferer(std::string_view address);

}  // namespace engine
