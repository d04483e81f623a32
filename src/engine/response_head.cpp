#include "engine/response_head.h"

#include <string_view>

namespace engine {
namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// Decimal digits only, below `limit`; false otherwise.
bool ParseNumber(std::string_view s, int64_t limit, int64_t* out) {
    if (s.empty() || s.size() > 18)
        return false;
    int64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    if (v >= limit)
        return false;
    *out = v;
    return true;
}

constexpr int64_t kTwoGiB = int64_t{1} << 31;

}  // namespace

size_t ResponseHead::Feed(const char* data, size_t size) {
    size_t used = 0;
    while (used < size && (state_ == State::kStatusLine || state_ == State::kHeaders)) {
        if (++total_ > kMaxResponseHead) {
            state_ = State::kError;
            error_ = Error::kTooLong;
            return used;
        }
        char c = data[used++];
        if (c != '\n') {
            line_ += c;
            continue;
        }
        if (!line_.empty() && line_.back() == '\r')
            line_.pop_back();
        Line(line_);
        line_.clear();
    }
    return used;
}

void ResponseHead::Line(const std::string& line) {
    if (state_ == State::kStatusLine) {
        // The status is the number after the protocol name: "HTTP/1.1 206 Partial Content".
        size_t sp = line.find(' ');
        int64_t status = 0;
        std::string_view rest = sp == std::string::npos ? std::string_view() : std::string_view(line).substr(sp + 1);
        rest = Trim(rest);
        std::string_view code = rest.substr(0, rest.find(' '));
        if (line.compare(0, 5, "HTTP/") != 0 || code.size() != 3 || !ParseNumber(code, 1000, &status)) {
            state_ = State::kError;
            error_ = Error::kBadStatusLine;
            return;
        }
        status_ = static_cast<int>(status);
        state_ = State::kHeaders;
        return;
    }
    if (line.empty()) {
        state_ = State::kDone;
        return;
    }
    size_t colon = line.find(':');
    if (colon == std::string::npos)
        return;  // not a header line; ignored
    Header(line.substr(0, colon), std::string(Trim(std::string_view(line).substr(colon + 1))));
}

void ResponseHead::Header(const std::string& name, const std::string& value) {
    if (EqualNoCase(name, "Content-Length")) {
        int64_t n = 0;
        if (!ParseNumber(value, kTwoGiB, &n) || (lengthState_ == Length::kValid && length_ != n) ||
            lengthState_ == Length::kMalformed) {
            lengthState_ = Length::kMalformed;
        } else {
            lengthState_ = Length::kValid;
            length_ = static_cast<int32_t>(n);
        }
    } else if (EqualNoCase(name, "Location")) {
        location_ = value;
    } else if (EqualNoCase(name, "Transfer-Encoding")) {
        if (!EqualNoCase(value, "identity"))
            transferCoded_ = true;
    } else if (EqualNoCase(name, "Content-Range")) {
        hasContentRange_ = true;
        contentRangeValid_ = false;
        std::string_view v = value;
        if (v.size() < 6 || !EqualNoCase(v.substr(0, 6), "bytes "))
            return;
        v = Trim(v.substr(6));
        size_t dash = v.find('-');
        size_t slash = v.find('/');
        if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash)
            return;
        int64_t first = 0, last = 0, total = -1;
        if (!ParseNumber(v.substr(0, dash), kTwoGiB, &first) ||
            !ParseNumber(v.substr(dash + 1, slash - dash - 1), kTwoGiB, &last) || last < first)
            return;
        std::string_view t = v.substr(slash + 1);
        if (t != "*" && !ParseNumber(t, kTwoGiB, &total))
            return;
        rangeFirst_ = first;
        rangeLast_ = last;
        rangeTotal_ = total;
        contentRangeValid_ = true;
    }
}

}  // namespace engine
