// Push parser of an answer's head (status line and header lines, RFC 9112 section 2-5),
// fed the bytes as they arrive in pieces of any size. It says where the head ends, so
// the rest of the piece is body. Pure logic, safe on any input (fuzzed directly).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace engine {

// A head longer than this fails the connection.
constexpr size_t kMaxResponseHead = 4097;

class ResponseHead {
  public:
    enum class State {
        kStatusLine,  // reading the first line
        kHeaders,     // reading header lines up to the empty one
        kDone,        // the head is complete; what follows is body
        kError,       // too long or no status on the first line
    };
    enum class Error { kNone, kTooLong, kBadStatusLine };
    enum class Length { kAbsent, kValid, kMalformed };  // malformed: not digits, 2 GB or more, or conflicting

    // Consumes bytes up to the end of the head; returns how many it took. Once the state
    // is kDone or kError it takes nothing more.
    size_t Feed(const char* data, size_t size);

    State state() const { return state_; }
    Error error() const { return error_; }
    int status() const { return status_; }
    Length lengthState() const { return lengthState_; }
    int32_t length() const { return length_; }  // valid only with Length::kValid
    const std::optional<std::string>& location() const { return location_; }
    // "Content-Range: bytes first-last/total"; total is -1 for "*".
    bool hasContentRange() const { return hasContentRange_; }
    bool contentRangeValid() const { return contentRangeValid_; }
    int64_t rangeFirst() const { return rangeFirst_; }
    int64_t rangeLast() const { return rangeLast_; }
    int64_t rangeTotal() const { return rangeTotal_; }
    // A Transfer-Encoding other than identity: the body is not the file's bytes as they are.
    bool transferCoded() const { return transferCoded_; }

  private:
    void Line(const std::string& line);
    void Header(const std::string& name, const std::string& value);

    State state_ = State::kStatusLine;
    Error error_ = Error::kNone;
    size_t total_ = 0;
    std::string line_;
    int status_ = 0;
    Length lengthState_ = Length::kAbsent;
    int32_t length_ = 0;
    std::optional<std::string> location_;
    bool hasContentRange_ = false;
    bool contentRangeValid_ = false;
    int64_t rangeFirst_ = 0, rangeLast_ = 0, rangeTotal_ = -1;
    bool transferCoded_ = false;
};

}  // namespace engine
