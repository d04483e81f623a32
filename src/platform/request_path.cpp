#include "platform/request_path.h"

namespace platform {

std::string RemoveDotSegments(std::string in) {
    std::string out;
    while (!in.empty()) {
        if (in.rfind("../", 0) == 0) {
            in.erase(0, 3);
        } else if (in.rfind("./", 0) == 0 || in.rfind("/./", 0) == 0) {
            in.erase(0, 2);
        } else if (in == "/.") {
            in = "/";
        } else if (in.rfind("/../", 0) == 0 || in == "/..") {
            in = in.size() == 3 ? std::string("/") : in.substr(3);
            size_t slash = out.rfind('/');
            out.erase(slash == std::string::npos ? 0 : slash);
        } else if (in == "." || in == "..") {
            in.clear();
        } else {
            size_t next = in.find('/', 1);
            out += in.substr(0, next);
            in.erase(0, next == std::string::npos ? in.size() : next);
        }
    }
    return out;
}

}  // namespace platform
