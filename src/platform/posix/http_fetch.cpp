// HttpFetch over libcurl with the contract of the Windows client: one blocking GET,
// HTTP/1.0, our user agent and "Accept: */*" and no other header of our own, no cache,
// redirects followed, the environment's proxy settings, certificates checked.
#include "platform/http_fetch.h"
#include "platform/request_path.h"

#include <curl/curl.h>

#include <cstdlib>
#include <memory>
#include <mutex>

namespace platform {
namespace {

constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr int kMaxRedirects = 30;

struct EasyCloser {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct ListCloser {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

size_t Append(char* data, size_t size, size_t count, void* body) {
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

// Only http and https addresses with a "scheme://" are fetched; libcurl would guess a
// scheme for a bare host name, which must send nothing.
bool HasHttpScheme(const std::string& address) {
    size_t colon = address.find("://");
    if (colon == std::string::npos)
        return false;
    std::string scheme;
    for (size_t i = 0; i < colon; ++i)
        scheme += static_cast<char>(address[i] | 0x20);
    return scheme == "http" || scheme == "https";
}

// The request target as the Windows client sends it: the path and query as typed, dot
// segments resolved, a space as %20 (which it escapes) and every other byte unchanged.
// libcurl would percent-encode bytes of 0x80 and above in the path.
std::string RequestTarget(const std::string& url) {
    size_t start = url.find("://") + 3;
    size_t end = url.find_first_of("/?", start);
    std::string pathQuery = end == std::string::npos ? std::string() : url.substr(end);
    size_t q = pathQuery.find('?');
    std::string path = RemoveDotSegments(pathQuery.substr(0, q));
    if (path.empty() || path[0] != '/')
        path.insert(0, "/");
    return path + (q == std::string::npos ? std::string() : pathQuery.substr(q));
}

std::string EscapeSpaces(const std::string& s) {
    std::string out;
    for (char c : s)
        out += c == ' ' ? std::string("%20") : std::string(1, c);
    return out;
}

// A proxy wants the absolute address in the request line; then libcurl builds it itself.
bool ProxyConfigured() {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        if (const char* v = std::getenv(name); v && *v)
            return true;
    return false;
}

}  // namespace

std::string HttpFetch(const std::string& address) {
    if (address.empty() || !HasHttpScheme(address))
        return {};
    static std::once_flag init;
    std::call_once(init, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    std::unique_ptr<CURL, EasyCloser> curl(curl_easy_init());
    if (!curl)
        return {};
    CURL* c = curl.get();
    std::string body;
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(c, CURLOPT_USERAGENT, kUserAgent);
    std::unique_ptr<curl_slist, ListCloser> headers(curl_slist_append(nullptr, "Accept: */*"));
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Append);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &body);
    const bool ownTarget = !ProxyConfigured();

    // The fragment is never sent. Redirects are followed here, hop by hop, so that each
    // request line carries its path as typed; a loop ends after a bounded number of hops.
    std::string url = EscapeSpaces(address.substr(0, address.find('#')));
    for (int hop = 0; hop <= kMaxRedirects; ++hop) {
        const std::string target = RequestTarget(url);
        curl_easy_setopt(c, CURLOPT_URL, url.c_str());
        curl_easy_setopt(c, CURLOPT_REQUEST_TARGET, ownTarget ? target.c_str() : nullptr);
        body.clear();
        // Whatever the outcome, the body holds what arrived: empty when the failure came
        // before it, the bytes received so far when reading broke off.
        if (curl_easy_perform(c) != CURLE_OK)
            return body;
        long status = 0;
        char* next = nullptr;
        curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_getinfo(c, CURLINFO_REDIRECT_URL, &next);
        bool redirect = status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
        if (!redirect || !next || !HasHttpScheme(next))
            return body;
        url = EscapeSpaces(std::string(next).substr(0, std::string(next).find('#')));
    }
    return {};
}

}  // namespace platform
