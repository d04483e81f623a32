// glibc's CP936 lacks the user-defined areas that Windows maps into the private use area;
// GB18030 maps most of them the same way, so its private-use answers fill those gaps.
#include "platform/posix/cp936_tables.h"

#include <iconv.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace platform::cp936 {
namespace {

// One two-byte sequence through iconv; the single UTF-16 unit it gives, or 0.
char16_t DecodePair(iconv_t cd, unsigned char lead, unsigned char trail) {
    char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    char16_t out[4];
    char* ip = in;
    char* op = reinterpret_cast<char*>(out);
    size_t il = 2, ol = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0)
        return kUnmapped;
    return (sizeof out - ol) == 2 ? out[0] : kUnmapped;
}

// All pairs of one lead byte (trail bytes 0x40..0xFE but 0x7F) in one iconv call, stepping
// over each pair that iconv refuses; each pair it takes gives one UTF-16 unit.
void DecodeRow(iconv_t cd, unsigned char lead, char16_t* row) {
    unsigned char trails[190];
    char in[380];
    int count = 0;
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
        if (trail == 0x7F)
            continue;
        trails[count] = static_cast<unsigned char>(trail);
        in[2 * count] = static_cast<char>(lead);
        in[2 * count + 1] = static_cast<char>(trail);
        ++count;
    }
    int done = 0;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    while (done < count) {
        char16_t out[190];
        char* ip = in + 2 * done;
        char* op = reinterpret_cast<char*>(out);
        size_t il = 2 * static_cast<size_t>(count - done), ol = sizeof out;
        size_t r = iconv(cd, &ip, &il, &op, &ol);
        const int taken = static_cast<int>(ip - (in + 2 * done)) / 2;
        const int written = static_cast<int>(sizeof out - ol) / 2;
        if (written != taken) {  // not one unit a pair: ask pair by pair
            for (int k = done; k < count; ++k)
                row[trails[k]] = DecodePair(cd, lead, trails[k]);
            return;
        }
        for (int k = 0; k < taken; ++k)
            row[trails[done + k]] = out[k];
        done += taken;
        if (r == static_cast<size_t>(-1)) {
            row[trails[done]] = kUnmapped;  // refused: no character in this code page
            ++done;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
}

std::unique_ptr<Tables> BuildTables() {
    auto t = std::make_unique<Tables>();
    std::memset(t.get(), 0, sizeof *t);
    iconv_t cp936 = iconv_open("UTF-16LE", "CP936");
    if (cp936 == reinterpret_cast<iconv_t>(-1)) {
        std::fprintf(stderr, "qzln: iconv has no CP936 table\n");
        std::abort();
    }
    // glibc's CP936 lacks the user-defined areas that Windows maps into the private use
    // area; GB18030 maps them the same way, so take its private-use answers for those.
    iconv_t gb18030 = iconv_open("UTF-16LE", "GB18030");
    for (unsigned c = 0; c < 0x80; ++c)
        t->single[c] = static_cast<char16_t>(c);
    for (unsigned c = 0x81; c <= 0xFE; ++c)
        t->single[c] = u'?';
    t->single[0x80] = 0x20AC;
    t->single[0xFF] = 0xF8F5;
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        DecodeRow(cp936, static_cast<unsigned char>(lead), t->pair[lead - 0x81]);
        if (gb18030 == reinterpret_cast<iconv_t>(-1))
            continue;
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F || t->pair[lead - 0x81][trail] != kUnmapped)
                continue;
            char16_t g = DecodePair(gb18030, static_cast<unsigned char>(lead), static_cast<unsigned char>(trail));
            if (g >= 0xE000 && g <= 0xF8FF)
                t->pair[lead - 0x81][trail] = g;
        }
    }
    iconv_close(cp936);
    if (gb18030 != reinterpret_cast<iconv_t>(-1))
        iconv_close(gb18030);

    for (unsigned c = 0; c < 0x100; ++c)
        if (!IsLead(static_cast<unsigned char>(c)) && t->single[c] != kUnmapped && c != 0)
            t->encode[t->single[c]] = static_cast<uint16_t>(c);
    // Where two sequences give the same character, the first one encodes it.
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead)
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            char16_t u = t->pair[lead - 0x81][trail];
            if (u != kUnmapped && t->encode[u] == 0)
                t->encode[u] = static_cast<uint16_t>(lead << 8 | trail);
        }
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead)
        for (unsigned trail = 0; trail < 0x100; ++trail)
            if (t->pair[lead - 0x81][trail] == kUnmapped)
                t->pair[lead - 0x81][trail] = u'?';
    return t;
}

}  // namespace

const Tables& Get() {
    static const std::unique_ptr<Tables> tables = BuildTables();
    return *tables;
}

}  // namespace platform::cp936
