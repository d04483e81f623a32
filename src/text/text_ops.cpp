#include "text/text_ops.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

// A text ends at its first zero byte, whatever the std::string's size says.
std::string_view View(const std::string& text) {
    const void* nul = std::memchr(text.data(), 0, text.size());
    size_t n = nul ? static_cast<size_t>(static_cast<const char*>(nul) - text.data()) : text.size();
    return {text.data(), n};
}

unsigned char Fold(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

bool EqualAt(std::string_view text, size_t at, std::string_view sought, bool fold) {
    const auto* a = reinterpret_cast<const unsigned char*>(text.data() + at);
    const auto* b = reinterpret_cast<const unsigned char*>(sought.data());
    if (!fold)
        return std::memcmp(a, b, sought.size()) == 0;
    for (size_t i = 0; i < sought.size(); ++i)
        if (Fold(a[i]) != Fold(b[i]))
            return false;
    return true;
}

// The next character start after `at`, or npos when a lead byte is followed by the end.
size_t NextChar(std::string_view text, size_t at) {
    if (static_cast<unsigned char>(text[at]) < 0x80)
        return at + 1;
    return at + 1 < text.size() ? at + 2 : std::string_view::npos;
}

uint64_t Load8(const unsigned char* p) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

// High bit set in each byte of w that equals b.
uint64_t BytesEqual(uint64_t w, unsigned char b) {
    const uint64_t x = w ^ (0x0101010101010101ull * b);
    return (x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull;
}

// First character start in [from, limit - sought) where sought matches; npos if none.
size_t Find(std::string_view text, size_t from, std::string_view sought, bool fold, size_t limit) {
    if (sought.size() > limit)
        return std::string_view::npos;
    const size_t last = limit - sought.size();  // the last start at which sought still fits
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char first = static_cast<unsigned char>(sought[0]);
    const unsigned char firstFolded = fold ? Fold(first) : first;
    const unsigned char firstUpper =
        (fold && firstFolded >= 'a' && firstFolded <= 'z') ? static_cast<unsigned char>(firstFolded - 32) : first;
    size_t i = from;
    while (i <= last) {
        // Eight bytes at a time where they cannot hold a candidate, always from a character
        // start: eight ASCII bytes without the first byte, or, for an ASCII first byte,
        // eight high bytes (four whole double-byte characters).
        while (i + 8 <= last) {
            const uint64_t w = Load8(p + i), high = w & 0x8080808080808080ull;
            if (high == 0) {
                if (BytesEqual(w, firstFolded) | BytesEqual(w, firstUpper) | BytesEqual(w, first))
                    break;
            } else if (high != 0x8080808080808080ull || first >= 0x80) {
                break;
            }
            i += 8;
        }
        unsigned char c = p[i];
        if (c < 0x80) {
            if ((c == firstFolded || c == firstUpper || c == first) && EqualAt(text, i, sought, fold))
                return i;
            ++i;
            continue;
        }
        if (c == first && EqualAt(text, i, sought, fold))
            return i;
        if (i + 1 >= text.size())
            return std::string_view::npos;  // lead byte before the end
        i += 2;
    }
    return std::string_view::npos;
}

}  // namespace

int FindText(const std::string& text,
             const std::string& sought,
             std::optional<int> start,
             std::optional<int> caseInsensitive) {
    std::string_view t = View(text), s = View(sought);
    long long from = start ? (*start < 1 ? 1 : *start) : 1;
    if (from > static_cast<long long>(t.size()))
        return -1;
    if (s.empty())
        return 1;
    size_t at = Find(t, static_cast<size_t>(from - 1), s, caseInsensitive == 1, t.size());
    return at == std::string_view::npos ? -1 : static_cast<int>(at + 1);
}

int FindTextReverse(const std::string& text, const std::string& sought, std::optional<int> start, bool ignoreCase) {
    std::string_view t = View(text), s = View(sought);
    size_t searched = t.size();
    if (start) {
        if (*start <= 1)
            return -1;
        searched = std::min(searched, static_cast<size_t>(*start - 1));
    }
    if (s.empty())
        return searched > 0 ? 1 : -1;
    int found = -1;
    size_t i = 0;
    for (;;) {
        size_t at = Find(t, i, s, ignoreCase, searched);
        if (at == std::string_view::npos)
            break;
        found = static_cast<int>(at + 1);
        i = NextChar(t, at);
        if (i == std::string_view::npos)
            break;
    }
    return found;
}

std::string TextMid(const std::string& text, int start, int length) {
    std::string_view t = View(text);
    if (start < 1 || static_cast<size_t>(start) > t.size() || length <= 0)
        return {};
    return std::string(t.substr(static_cast<size_t>(start - 1), static_cast<size_t>(length)));
}

std::string TextRight(const std::string& text, int count) {
    std::string_view t = View(text);
    if (count <= 0)
        return {};
    if (static_cast<size_t>(count) >= t.size())
        return std::string(t);
    return std::string(t.substr(t.size() - static_cast<size_t>(count)));
}

int TextLength(const std::string& text) {
    return static_cast<int>(View(text).size());
}

std::string ReplaceText(const std::string& text,
                        const std::string& sought,
                        std::optional<std::string> replacement,
                        std::optional<int> start,
                        std::optional<int> count,
                        std::optional<bool> caseSensitive) {
    std::string_view t = View(text), s = View(sought);
    const std::string with = replacement ? std::string(View(*replacement)) : std::string();
    const size_t from = static_cast<size_t>(start && *start > 1 ? *start : 1) - 1;
    // A negative count never reaches zero: no limit, like no count at all.
    long long left = count ? *count : -1;
    if (t.empty() || s.empty() || from >= t.size() || left == 0)
        return std::string(t);
    const bool fold = !caseSensitive.value_or(true);

    std::string out;
    out.reserve(t.size());
    out.append(t.substr(0, from));
    size_t i = from;
    while (i < t.size()) {
        size_t at = Find(t, i, s, fold, t.size());
        if (at == std::string_view::npos)
            break;
        out.append(t.substr(i, at - i));
        out.append(with);
        i = at + s.size();
        if (--left == 0)
            break;
    }
    out.append(t.substr(i));
    return out;
}

std::string TextBetween(const std::string& text,
                        const std::string& left,
                        const std::string& right,
                        std::optional<int> start,
                        std::optional<bool> caseInsensitive) {
    static const std::string kQuotePlaceholder = "#\xD2\xFD\xBA\xC5";  // #引号
    const std::string l = ReplaceText(left, kQuotePlaceholder, "\"", 1, std::nullopt, true);
    const std::string r = ReplaceText(right, kQuotePlaceholder, "\"", 1, std::nullopt, true);
    const int flag = caseInsensitive.value_or(false) ? 1 : 0;
    int p = FindText(text, l, start.value_or(0), flag);
    if (p != -1)
        p = static_cast<int>(static_cast<double>(p) + TextLength(l));
    // Searched even when the left marker is missing; the result then does not count.
    int q = FindText(text, r, p, flag);
    if (p == -1 || q == -1)
        return {};
    return TextMid(text, p, static_cast<int>(static_cast<double>(q) - p));
}
