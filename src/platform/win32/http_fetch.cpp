// HttpFetch over WinINet: one blocking GET, HTTP/1.0, never from or into the cache,
// redirects followed, the system's proxy configuration, certificate errors not overlooked.
#include "platform/http_fetch.h"
#include "platform/request_path.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <memory>
#include <string>

#include "platform/win32/text_convert.h"

namespace platform {
namespace {

constexpr wchar_t kUserAgent[] = L"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

struct InternetCloser {
    void operator()(HINTERNET h) const { InternetCloseHandle(h); }
};
using Internet = std::unique_ptr<void, InternetCloser>;

struct Target {
    bool https = false;
    std::string authority;  // user:password@host:port as typed
    std::string path;       // path and query, dot segments resolved
};

bool ParseAddress(const std::string& address, Target& t) {
    size_t colon = address.find(':');
    if (colon == std::string::npos || colon == 0)
        return false;
    std::string scheme;
    for (size_t i = 0; i < colon; ++i) {
        char c = address[i];
        bool alpha = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (!alpha && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')))
            return false;
        scheme += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    if (scheme != "http" && scheme != "https")
        return false;
    if (address.compare(colon + 1, 2, "//") != 0)
        return false;
    t.https = scheme == "https";
    std::string rest = address.substr(colon + 3);
    rest.erase(std::min(rest.find('#'), rest.size()));
    size_t end = rest.find_first_of("/?");
    t.authority = rest.substr(0, end);
    if (t.authority.empty())
        return false;
    std::string pathQuery = end == std::string::npos ? std::string() : rest.substr(end);
    size_t q = pathQuery.find('?');
    std::string path = pathQuery.substr(0, q);
    std::string query = q == std::string::npos ? std::string() : pathQuery.substr(q);
    path = RemoveDotSegments(path);
    if (path.empty() || path[0] != '/')
        path.insert(0, "/");
    t.path = path + query;
    return true;
}

}  // namespace

std::string HttpFetch(const std::string& address) {
    Target target;
    if (address.empty() || !ParseAddress(address, target))
        return {};

    // Host, port, user name and password from the authority, by the system's own parser.
    std::wstring base = win32::Widen((target.https ? "https://" : "http://") + target.authority + "/");
    wchar_t host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {}, user[INTERNET_MAX_USER_NAME_LENGTH + 1] = {},
                                                 password[INTERNET_MAX_PASSWORD_LENGTH + 1] = {};
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = ARRAYSIZE(host);
    parts.lpszUserName = user;
    parts.dwUserNameLength = ARRAYSIZE(user);
    parts.lpszPassword = password;
    parts.dwPasswordLength = ARRAYSIZE(password);
    if (!InternetCrackUrlW(base.c_str(), 0, 0, &parts) || host[0] == 0)
        return {};

    Internet session(InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session)
        return {};
    Internet connection(InternetConnectW(session.get(), host, parts.nPort, user[0] ? user : nullptr,
                                         password[0] ? password : nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection)
        return {};
    // No INTERNET_FLAG_KEEP_CONNECTION: it would add a Connection header of our own.
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP |
                  INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
    if (target.https)
        flags |= INTERNET_FLAG_SECURE;
    const wchar_t* accept[] = {L"*/*", nullptr};
    std::wstring path = win32::Widen(target.path);
    Internet request(HttpOpenRequestW(connection.get(), L"GET", path.c_str(), L"HTTP/1.0", nullptr, accept, flags, 0));
    if (!request || !HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0))
        return {};

    // Read what is there each time: a read that asks for more than has arrived would wait
    // for it, and when the connection then breaks off, the bytes it held would be lost.
    std::string body;
    std::string chunk;
    for (;;) {
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request.get(), &available, 0, 0) || available == 0)
            break;
        chunk.resize(available);
        DWORD got = 0;
        if (!InternetReadFile(request.get(), chunk.data(), available, &got) || got == 0)
            break;
        body.append(chunk.data(), got);
    }
    return body;
}

}  // namespace platform
