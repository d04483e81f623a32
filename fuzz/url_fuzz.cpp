// Fuzzes the address handling of the engine: ParseUrl (addresses of AddTask),
// ResolveLocation (redirect targets), the escaping of request paths and header values,
// the default Referer, and the request head built from all of them.
// Checks: a parsed address is well formed and parses again to the same parts, a
// resolved redirect is itself a valid address, and no byte of an address or a
// Location can break a request line or add one.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "engine/request.h"
#include "engine/url.h"

namespace {

using engine::Url;

void Check(bool ok) {
    if (!ok)
        std::abort();
}

bool Same(const Url& a, const Url& b) {
    return a.scheme == b.scheme && a.hostPort == b.hostPort && a.host == b.host && a.port == b.port &&
           a.path == b.path && a.text == b.text;
}

void CheckParsed(const Url& u) {
    Check(u.scheme == "http" || u.scheme == "ftp" || u.scheme == "mms" || u.scheme == "mmst" || u.scheme == "rtsp");
    Check(!u.host.empty() && !u.hostPort.empty());
    for (unsigned char c : u.hostPort)
        Check(c > 0x20 && c != 0x7F);
    Check(u.port >= 1 && u.port <= 65535);
    Check(!u.path.empty() && u.path[0] == '/');
    Url again;
    Check(engine::ParseUrl(u.text, &again));
    Check(Same(u, again));
}

bool HasLineBreak(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}

size_t CountLines(const std::string& head) {
    size_t n = 0;
    for (size_t at = head.find("\r\n"); at != std::string::npos; at = head.find("\r\n", at + 2))
        ++n;
    return n;
}

// The head has exactly the lines of a head built for a plain address with the same
// options, each line a single line, and it ends with the empty line.
void CheckRequest(const Url& url,
                  const std::optional<std::string>& referer,
                  std::optional<int32_t> rangeFrom,
                  bool viaProxy) {
    engine::RequestInput in{url, referer, rangeFrom, viaProxy};
    std::string head;
    if (!engine::BuildRequest(in, &head))
        return;
    Url plain;
    Check(engine::ParseUrl("http://h/p", &plain));
    std::string plainHead;
    Check(engine::BuildRequest({plain, std::string("r"), rangeFrom, viaProxy}, &plainHead));
    Check(CountLines(head) == CountLines(plainHead));
    Check(head.size() >= 4 && head.compare(head.size() - 4, 4, "\r\n\r\n") == 0);
    size_t at = 0;
    while (at < head.size() - 2) {
        size_t end = head.find("\r\n", at);
        std::string line = head.substr(at, end - at);
        Check(!HasLineBreak(line));
        at = end + 2;
    }
    std::string first = head.substr(0, head.find("\r\n"));
    Check(first.compare(0, 4, "GET ") == 0);
    std::string target = first.substr(4, first.size() - 4 - 9);  // up to " HTTP/1.1"
    for (unsigned char c : target)
        Check(c > 0x20 && c != 0x7F);
    if (!viaProxy)
        Check(target.size() <= engine::kMaxRequestPath);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const bool viaProxy = in.ConsumeBool();
    const bool withReferer = in.ConsumeBool();
    const bool withRange = in.ConsumeBool();
    const int32_t rangeFrom = in.ConsumeIntegral<int32_t>();
    std::string address = in.ConsumeRandomLengthString(512);
    std::string referer = in.ConsumeRandomLengthString(128);
    std::string location = in.ConsumeRemainingBytesAsString();

    std::string escaped = engine::EscapePath(address);
    Check(escaped.size() <= 3 * address.size());
    for (unsigned char c : escaped)
        Check(c > 0x20 && c != 0x7F);
    std::string value = engine::EscapeHeaderValue(referer);
    for (unsigned char c : value)
        Check(c >= 0x20 && c != 0x7F);
    std::string dflt = engine::DefaultReferer(address);
    Check(address.compare(0, dflt.size(), dflt) == 0);

    Url url;
    if (!engine::ParseUrl(address, &url))
        return 0;
    CheckParsed(url);
    CheckRequest(url, withReferer ? std::optional<std::string>(referer) : std::nullopt,
                 withRange ? std::optional<int32_t>(rangeFrom) : std::nullopt, viaProxy);

    Url moved;
    if (!engine::ResolveLocation(url, location, &moved))
        return 0;
    CheckParsed(moved);
    CheckRequest(moved, std::nullopt, std::nullopt, false);
    return 0;
}
