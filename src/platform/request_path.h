// The request path of the page fetch, shared by the clients of every system.
#pragma once

#include <string>

namespace platform {

// RFC 3986, 5.2.4: "." and ".." segments of the path removed, nothing else changed.
std::string RemoveDotSegments(std::string in);

}  // namespace platform
