// Fuzzes TextBetween and the operations under it (FindText, ReplaceText, TextMid), plus
// FindTextReverse and TextRight, with arbitrary texts, markers, positions and counts.
// Checks: no result is ever longer than it can be, every position found lies in the
// text on a character start and holds what was sought, and a text found between two
// markers stands in the text right after the left marker and right before the right one.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "text/text_ops.h"

namespace {

const std::string kQuotePlaceholder = "#\xD2\xFD\xBA\xC5";  // #引号

void Check(bool ok) {
    if (!ok)
        std::abort();
}

// A text of the tool holds no zero byte: it ends at the first one.
std::string Text(FuzzedDataProvider& in, size_t maxLength) {
    std::string s = in.ConsumeRandomLengthString(maxLength);
    return s.substr(0, s.find('\0'));
}

// Mostly small positions near the text, sometimes anything at all (overflow probes).
int Position(FuzzedDataProvider& in, int textLength) {
    if (in.ConsumeBool())
        return in.ConsumeIntegral<int>();
    return in.ConsumeIntegralInRange<int>(-3, textLength + 3);
}

// Which optional arguments are given, one bit each.
struct Given {
    uint8_t bits;
    template <typename T>
    std::optional<T> operator()(int bit, T value) const {
        return (bits >> bit) & 1 ? std::optional<T>(value) : std::nullopt;
    }
};

char Fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameBytes(const std::string& text, size_t at, const std::string& sought, bool fold) {
    if (at > text.size() || text.size() - at < sought.size())
        return false;
    for (size_t i = 0; i < sought.size(); ++i) {
        char a = text[at + i], b = sought[i];
        if (fold ? Fold(a) != Fold(b) : a != b)
            return false;
    }
    return true;
}

// Whether byte `at` (0-based) is a character start when the text is read from `from`.
bool IsCharStart(const std::string& text, size_t from, size_t at) {
    size_t i = from;
    while (i < at)
        i += static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1;
    return i == at;
}

void CheckFindText(const std::string& text,
                   const std::string& sought,
                   std::optional<int> start,
                   std::optional<int> flag) {
    const int n = static_cast<int>(text.size());
    int pos = FindText(text, sought, start, flag);
    Check(pos == -1 || (pos >= 1 && pos <= n));
    if (pos == -1 || sought.empty())
        return;
    size_t from = static_cast<size_t>(start ? (*start < 1 ? 1 : *start) : 1) - 1;
    Check(static_cast<size_t>(pos - 1) >= from);
    Check(IsCharStart(text, from, static_cast<size_t>(pos - 1)));
    Check(SameBytes(text, static_cast<size_t>(pos - 1), sought, flag == 1));
}

void CheckTextMid(const std::string& text, int start, int length) {
    std::string mid = TextMid(text, start, length);
    const int n = static_cast<int>(text.size());
    if (start < 1 || start > n || length <= 0) {
        Check(mid.empty());
    } else {
        Check(mid == text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(length)));
    }
}

void CheckReplaceText(const std::string& text,
                      const std::string& sought,
                      std::optional<std::string> replacement,
                      std::optional<int> start,
                      std::optional<int> count,
                      std::optional<bool> caseSensitive) {
    std::string out = ReplaceText(text, sought, replacement, start, count, caseSensitive);
    Check(out == ReplaceText(text, sought, replacement, start, count, caseSensitive));
    const size_t repl = replacement ? replacement->size() : 0;
    if (text.empty() || sought.empty() || count == 0) {
        Check(out == text);
        return;
    }
    // At most one replacement per sought text's worth of bytes.
    Check(out.size() <= text.size() + (text.size() / sought.size() + 1) * repl);
    if (repl == 0)
        Check(out.size() <= text.size());
    // The bytes before the start are copied unchanged.
    size_t before = start && *start > 1 ? static_cast<size_t>(*start) - 1 : 0;
    before = std::min(before, text.size());
    Check(out.compare(0, before, text, 0, before) == 0);
}

void CheckTextBetween(const std::string& text,
                      const std::string& left,
                      const std::string& right,
                      std::optional<int> start,
                      std::optional<bool> caseInsensitive) {
    std::string between = TextBetween(text, left, right, start, caseInsensitive);
    Check(between.size() <= text.size());
    Check(between == TextBetween(text, left, right, start, caseInsensitive));
    if (between.empty())
        return;
    const bool fold = caseInsensitive.value_or(false);
    std::string l = ReplaceText(left, kQuotePlaceholder, std::string("\""), std::nullopt, std::nullopt, true);
    std::string r = ReplaceText(right, kQuotePlaceholder, std::string("\""), std::nullopt, std::nullopt, true);
    int p = FindText(text, l, start, fold ? 1 : 0);
    Check(p != -1);
    size_t at = static_cast<size_t>(p - 1) + l.size();
    Check(SameBytes(text, at, between, false));
    Check(SameBytes(text, at + between.size(), r, fold));
}

void CheckReverseAndRight(const std::string& text, const std::string& sought, std::optional<int> start, int count) {
    const int n = static_cast<int>(text.size());
    int pos = FindTextReverse(text, sought, start, false);
    Check(pos == -1 || (pos >= 1 && pos <= n));
    if (pos != -1 && !sought.empty()) {
        Check(SameBytes(text, static_cast<size_t>(pos - 1), sought, false));
        Check(IsCharStart(text, 0, static_cast<size_t>(pos - 1)));
        if (start)
            Check(static_cast<long long>(pos - 1) + static_cast<long long>(sought.size()) <= *start - 1LL);
    }
    std::string right = TextRight(text, count);
    Check(right.size() <= text.size());
    Check(text.compare(text.size() - right.size(), right.size(), right) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const Given given{in.ConsumeIntegral<uint8_t>()};
    std::string left = Text(in, 32);
    std::string right = Text(in, 32);
    std::string replacement = Text(in, 16);
    const bool fold = in.ConsumeBool();
    const int flag = in.ConsumeIntegralInRange<int>(-1, 2);
    const int count = in.ConsumeIntegralInRange<int>(-2, 8);
    const int textGuess = static_cast<int>(std::min<size_t>(in.remaining_bytes(), INT_MAX / 2));
    const int start = Position(in, textGuess);
    const int length = Position(in, textGuess);
    std::string text = Text(in, SIZE_MAX);

    CheckTextBetween(text, left, right, given(0, start), given(1, fold));
    CheckFindText(text, left, given(0, start), given(2, flag));
    CheckTextMid(text, start, length);
    CheckReplaceText(text, left, given(3, replacement), given(4, start), given(5, count), given(6, fold));
    CheckReverseAndRight(text, right, given(7, start), length);
    return 0;
}
