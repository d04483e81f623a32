#include "engine/request.h"

namespace engine {

bool BuildRequest(const RequestInput& in, std::string* head) {
    std::string path = EscapePath(in.url.path);
    if (path.size() > kMaxRequestPath)
        return false;
    std::string range;
    if (in.rangeFrom)
        range = "Range: bytes=" + std::to_string(*in.rangeFrom) + "-\r\n";
    std::string h;
    h.reserve(512);
    if (in.viaProxy) {
        // A proxy gets the whole address; the Range line still goes with a block request,
        // or every block would come back whole.
        h += "GET " + in.url.text.substr(0, in.url.text.find("://") + 3) + in.url.hostPort + path + " HTTP/1.1\r\n";
        h += "Host: " + in.url.hostPort + "\r\n";
        h += std::string("User-Agent: ") + kUserAgent + "\r\n";
        h += range;
        h += "Proxy-Connection: Keep-Alive\r\n\r\n";
    } else {
        std::string referer = in.referer ? *in.referer : DefaultReferer(in.url.text);
        h += "GET " + path + " HTTP/1.1\r\n";
        h += "Host: " + in.url.hostPort + "\r\n";
        h += "Accept: */*\r\n";
        h += "Referer: " + EscapeHeaderValue(referer) + "\r\n";
        h += std::string("User-Agent: ") + kUserAgent + "\r\n";
        h += range;
        h += "Pragma: no-cache\r\n";
        h += "Cache-Control: no-cache\r\n";
        h += "Connection: close\r\n\r\n";
    }
    *head = std::move(h);
    return true;
}

}  // namespace engine
