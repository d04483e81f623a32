// Fuzzes the push parser of an answer's head. The same bytes are fed whole, byte by
// byte and in pieces of sizes chosen by the input; every way must end in the same state
// with the same findings (the network may cut an answer anywhere). Checks: the parser
// never takes more than it is given, nor anything after the head has ended, never
// accepts a head longer than its limit, and what it reports is consistent.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/response_head.h"

namespace {

using engine::ResponseHead;

void Check(bool ok) {
    if (!ok)
        std::abort();
}

struct Fed {
    ResponseHead head;
    size_t taken = 0;
};

// Feeds `bytes` in pieces of the given sizes (cycled), as a connection would: whatever
// the parser does not take after the head has ended is body, and is not offered again.
Fed FeedInPieces(const std::string& bytes, const std::vector<size_t>& pieces) {
    Fed f;
    size_t at = 0, k = 0;
    while (at < bytes.size()) {
        size_t n = std::min(pieces[k++ % pieces.size()], bytes.size() - at);
        size_t used = f.head.Feed(bytes.data() + at, n);
        Check(used <= n);
        f.taken += used;
        const bool open =
            f.head.state() == ResponseHead::State::kStatusLine || f.head.state() == ResponseHead::State::kHeaders;
        if (open)
            Check(used == n);  // an unfinished head takes all it gets
        if (!open) {
            Check(f.head.Feed(bytes.data() + at + used, n - used) == 0);  // and nothing once done
            break;
        }
        at += n;
    }
    return f;
}

void CheckSame(const ResponseHead& a, const ResponseHead& b) {
    Check(a.state() == b.state());
    Check(a.error() == b.error());
    Check(a.status() == b.status());
    Check(a.lengthState() == b.lengthState());
    if (a.lengthState() == ResponseHead::Length::kValid)
        Check(a.length() == b.length());
    Check(a.location() == b.location());
    Check(a.hasContentRange() == b.hasContentRange());
    Check(a.contentRangeValid() == b.contentRangeValid());
    if (a.contentRangeValid()) {
        Check(a.rangeFirst() == b.rangeFirst() && a.rangeLast() == b.rangeLast() && a.rangeTotal() == b.rangeTotal());
    }
    Check(a.transferCoded() == b.transferCoded());
}

void CheckSound(const Fed& f) {
    const ResponseHead& h = f.head;
    Check(f.taken <= engine::kMaxResponseHead);
    if (h.state() == ResponseHead::State::kDone) {
        Check(h.status() >= 0 && h.status() <= 999);
        Check(h.error() == ResponseHead::Error::kNone);
    }
    if (h.state() == ResponseHead::State::kError)
        Check(h.error() != ResponseHead::Error::kNone);
    if (h.lengthState() == ResponseHead::Length::kValid)
        Check(h.length() >= 0);
    if (h.contentRangeValid()) {
        Check(h.rangeFirst() >= 0 && h.rangeFirst() <= h.rangeLast());
        Check(h.rangeLast() <= INT32_MAX && h.rangeTotal() >= -1 && h.rangeTotal() <= INT32_MAX);
    }
    if (h.location())
        Check(h.location()->find('\n') == std::string::npos);  // one line at most
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    // Piece sizes come from the input's tail; the head bytes are the rest.
    std::vector<size_t> pieces;
    const size_t count = in.ConsumeIntegralInRange<size_t>(1, 8);
    for (size_t i = 0; i < count; ++i)
        pieces.push_back(in.ConsumeIntegralInRange<size_t>(1, 64));
    const std::string bytes = in.ConsumeRemainingBytesAsString();

    Fed whole = FeedInPieces(bytes, {bytes.size() + 1});
    CheckSound(whole);
    Fed bytewise = FeedInPieces(bytes, {1});
    Fed split = FeedInPieces(bytes, pieces);
    CheckSame(whole.head, bytewise.head);
    CheckSame(whole.head, split.head);
    Check(whole.taken == bytewise.taken && whole.taken == split.taken);
    return 0;
}
