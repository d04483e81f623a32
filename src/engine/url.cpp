#include "engine/url.h"

#include <algorithm>
#include <array>
#include <vector>

namespace engine {
namespace {

struct SchemeInfo {
    std::string_view name;
    int port;
};
constexpr std::array<SchemeInfo, 5> kSchemes{{{"http", 80}, {"ftp", 21}, {"mms", 1755}, {"mmst", 1755}, {"rtsp", 554}}};

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

void AppendPercent(std::string& out, unsigned char c) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 15];
}

// "host" or "host:port"; a bracketed IPv6 literal keeps its colons.
bool SplitHostPort(std::string_view hostPort, int defaultPort, std::string* host, int* port) {
    if (hostPort.empty())
        return false;
    for (unsigned char c : hostPort)
        if (IsControl(c) || c == ' ')
            return false;
    size_t colon = hostPort.rfind(':');
    size_t bracket = hostPort.rfind(']');
    if (colon == std::string_view::npos || (bracket != std::string_view::npos && colon < bracket)) {
        *host = std::string(hostPort);
        *port = defaultPort;
    } else {
        std::string_view digits = hostPort.substr(colon + 1);
        if (digits.empty() || digits.size() > 5)
            return false;
        int p = 0;
        for (char c : digits) {
            if (c < '0' || c > '9')
                return false;
            p = p * 10 + (c - '0');
        }
        if (p < 1 || p > 65535)
            return false;
        *host = std::string(hostPort.substr(0, colon));
        *port = p;
    }
    if (host->size() >= 2 && host->front() == '[' && host->back() == ']')
        *host = host->substr(1, host->size() - 2);
    return !host->empty();
}

// Drops the "." and ".." segments of an absolute path (RFC 3986 section 5.2.4); the
// query stays as it is.
std::string RemoveDotSegments(std::string_view path) {
    size_t q = path.find('?');
    std::string_view query = q == std::string_view::npos ? std::string_view() : path.substr(q);
    std::string_view p = path.substr(0, q);
    std::vector<std::string_view> parts;
    size_t pos = 1;  // after the leading "/"
    bool trailingSlash = false;
    while (pos <= p.size()) {
        size_t next = p.find('/', pos);
        std::string_view seg = p.substr(pos, next == std::string_view::npos ? std::string_view::npos : next - pos);
        bool last = next == std::string_view::npos;
        if (seg == ".") {
            trailingSlash = last;
        } else if (seg == "..") {
            if (!parts.empty())
                parts.pop_back();
            trailingSlash = last;
        } else {
            parts.push_back(seg);
            trailingSlash = false;
        }
        if (last)
            break;
        pos = next + 1;
    }
    std::string out;
    for (auto seg : parts) {
        out += '/';
        out += seg;
    }
    if (trailingSlash || out.empty())
        out += '/';
    out += query;
    return out;
}

}  // namespace

bool ParseUrl(std::string_view address, Url* url) {
    size_t sep = address.find("://");
    if (sep == std::string_view::npos || sep == 0)
        return false;
    std::string scheme;
    for (char c : address.substr(0, sep))
        scheme += Lower(c);
    auto it = std::find_if(kSchemes.begin(), kSchemes.end(), [&](const SchemeInfo& s) { return s.name == scheme; });
    if (it == kSchemes.end())
        return false;
    std::string_view rest = address.substr(sep + 3);
    size_t slash = rest.find('/');
    if (slash == std::string_view::npos)
        return false;
    Url u;
    u.scheme = std::move(scheme);
    u.hostPort = std::string(rest.substr(0, slash));
    if (!SplitHostPort(u.hostPort, it->port, &u.host, &u.port))
        return false;
    u.path = std::string(rest.substr(slash));
    u.text = std::string(address);
    *url = std::move(u);
    return true;
}

bool ResolveLocation(const Url& base, std::string_view location, Url* out) {
    while (!location.empty() && (location.front() == ' ' || location.front() == '\t'))
        location.remove_prefix(1);
    while (!location.empty() && (location.back() == ' ' || location.back() == '\t'))
        location.remove_suffix(1);
    if (location.empty())
        return false;
    size_t sep = location.find("://");
    size_t firstSlash = location.find('/');
    if (sep != std::string_view::npos && (firstSlash == std::string_view::npos || sep < firstSlash)) {
        std::string abs(location);
        // "http://host" without a path still names the root.
        if (abs.find('/', sep + 3) == std::string::npos)
            abs += '/';
        return ParseUrl(abs, out);
    }
    if (location.substr(0, 2) == "//") {
        std::string abs = base.scheme + ":" + std::string(location);
        if (abs.find('/', base.scheme.size() + 3) == std::string::npos)
            abs += '/';
        return ParseUrl(abs, out);
    }
    std::string path;
    if (location.front() == '/') {
        path = std::string(location);
    } else if (location.front() == '?') {
        path = base.path.substr(0, base.path.find('?')) + std::string(location);
    } else {
        std::string dir = base.path.substr(0, base.path.find('?'));
        dir = dir.substr(0, dir.rfind('/') + 1);
        path = dir + std::string(location);
    }
    Url u = base;
    u.path = RemoveDotSegments(path);
    u.text = u.text.substr(0, u.text.find("://") + 3) + u.hostPort + u.path;
    *out = std::move(u);
    return true;
}

std::string EscapePath(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (unsigned char c : path) {
        if (c == ' ' || IsControl(c))
            AppendPercent(out, c);
        else
            out += static_cast<char>(c);
    }
    return out;
}

std::string EscapeHeaderValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (unsigned char c : value) {
        if (IsControl(c))
            AppendPercent(out, c);
        else
            out += static_cast<char>(c);
    }
    return out;
}

std::string DefaultReferer(std::string_view address) {
    size_t last = address.rfind('/');
    return std::string(last == std::string_view::npos ? address : address.substr(0, last));
}

}  // namespace engine
