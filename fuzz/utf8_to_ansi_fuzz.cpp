// Fuzzes the page decoding: Utf8ToAnsi, the two routines under it with every code page
// the tool may pass, and the native conversion functions themselves with buffers of the
// exact size asked for (so any read or write past them is caught by the address checker).
// Checks: a text never holds a zero byte, a wide text has an even length, ASCII passes
// through unchanged, the results are deterministic and no function reports more than
// the room it was given.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/code_page_api.h"
#include "text/code_pages.h"

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

bool IsAscii(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

std::optional<int> CodePage(FuzzedDataProvider& in) {
    static const int kPages[] = {0, 936, 65001, 437, -1};
    uint8_t pick = in.ConsumeIntegralInRange<uint8_t>(0, 5);
    if (pick == 5)
        return std::nullopt;
    return kPages[pick];
}

void CheckRoutines(const std::string& bytes, std::optional<int> decodePage, std::optional<int> encodePage) {
    std::string text = BytesToText(bytes);
    Check(text.find('\0') == std::string::npos);
    Check(text.size() <= bytes.size());

    std::string ansi = Utf8ToAnsi(text);
    Check(ansi.find('\0') == std::string::npos);
    Check(ansi == Utf8ToAnsi(text));
    if (IsAscii(text))
        Check(ansi == text);

    std::string wide = MultiByteToWide(text, decodePage);
    Check(wide.size() % 2 == 0);
    std::string back = WideToMultiByte(wide, encodePage);
    Check(back.find('\0') == std::string::npos);
    Check(back == WideToMultiByte(wide, encodePage));
}

// The conversion functions on exact-size heap buffers: a counted source without a
// terminator, and a destination of any capacity up to a little more than measured.
void CheckNative(FuzzedDataProvider& in) {
    const unsigned page = static_cast<unsigned>(CodePage(in).value_or(65001));
    const bool toWide = in.ConsumeBool();
    const int extra = in.ConsumeIntegralInRange<int>(-4, 2);
    const bool terminated = in.ConsumeBool();
    std::vector<uint8_t> raw = in.ConsumeRemainingBytes<uint8_t>();

    if (toWide) {
        std::vector<char> src(raw.begin(), raw.end());
        if (terminated)
            src.push_back('\0');
        const int length = terminated ? -1 : static_cast<int>(src.size());
        if (src.empty())
            return;  // a counted source needs at least one byte
        int need = platform::MultiByteToWideChar(page, 0, src.data(), length, nullptr, 0);
        Check(need >= 0);
        int room = std::max(1, need + extra);
        auto dst = std::make_unique<char16_t[]>(static_cast<size_t>(room));
        int wrote = platform::MultiByteToWideChar(page, 0, src.data(), length, dst.get(), room);
        Check(wrote >= 0 && wrote <= room);
        if (extra >= 0)
            Check(wrote == need);
    } else {
        std::vector<char16_t> src(raw.size() / 2);
        for (size_t i = 0; i < src.size(); ++i)
            src[i] = static_cast<char16_t>(raw[2 * i] | raw[2 * i + 1] << 8);
        if (terminated)
            src.push_back(u'\0');
        const int length = terminated ? -1 : static_cast<int>(src.size());
        if (src.empty())
            return;
        int need = platform::WideCharToMultiByte(page, 0, src.data(), length, nullptr, 0, nullptr, nullptr);
        Check(need >= 0);
        int room = std::max(1, need + extra);
        auto dst = std::make_unique<char[]>(static_cast<size_t>(room));
        int wrote = platform::WideCharToMultiByte(page, 0, src.data(), length, dst.get(), room, nullptr, nullptr);
        Check(wrote >= 0 && wrote <= room);
        if (extra >= 0)
            Check(wrote == need);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    FuzzedDataProvider in(data, size);
    if (in.ConsumeBool()) {
        CheckNative(in);
        return 0;
    }
    std::optional<int> decodePage = CodePage(in);
    std::optional<int> encodePage = CodePage(in);
    CheckRoutines(in.ConsumeRemainingBytesAsString(), decodePage, encodePage);
    return 0;
}
