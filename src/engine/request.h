// The request head of one connection, byte for byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/url.h"

namespace engine {

constexpr size_t kMaxRequestPath = 1023;
inline constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)";

struct RequestInput {
    Url url;                             // the task's current address
    std::optional<std::string> referer;  // nothing: derived from the address
    std::optional<int32_t> rangeFrom;    // a block request from this offset
    bool viaProxy = false;               // the request line carries the whole address
};

// False (and nothing in *head) when the escaped path is longer than kMaxRequestPath.
bool BuildRequest(const RequestInput& in, std::string* head);

}  // namespace engine
