#include "platform/http_fetch.h"
// Placeholder until the libcurl client lands.
namespace platform {
std::string HttpFetch(const std::string&) { return {}; }
}
