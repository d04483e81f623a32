// HttpFetch over libcurl with the contract of the Windows client: one blocking GET,
// HTTP/1.0, our user agent and "Accept: */*" and no other header of our own, no cache,
// redirects followed, the environment's proxy settings, certificates checked.
#include "platform/http_fetch.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace platform {
namespace {

constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

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
    if (colon == std::string::npos) return false;
    std::string scheme;
    for (size_t i = 0; i < colon; ++i) scheme += static_cast<char>(address[i] | 0x20);
    return scheme == "http" || scheme == "https";
}

}  // namespace

std::string HttpFetch(const std::string& address) {
    if (address.empty() || !HasHttpScheme(address)) return {};
    static std::once_flag init;
    std::call_once(init, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    std::unique_ptr<CURL, EasyCloser> curl(curl_easy_init());
    if (!curl) return {};
    CURL* c = curl.get();
    std::string body;
    // The fragment is never sent; libcurl resolves dot segments itself.
    const std::string url = address.substr(0, address.find('#'));
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(c, CURLOPT_USERAGENT, kUserAgent);
    std::unique_ptr<curl_slist, ListCloser> headers(curl_slist_append(nullptr, "Accept: */*"));
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    // A redirect loop ends like the Windows client's: after a bounded number of hops.
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 30L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Append);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &body);
    // Whatever the outcome, the body holds what arrived: empty when the failure came
    // before it, the bytes received so far when reading broke off.
    curl_easy_perform(c);
    return body;
}

}  // namespace platform
