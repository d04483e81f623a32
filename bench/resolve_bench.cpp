// Decoding and extracting from a large play page: the tool's path (BytesToText, Utf8ToAnsi,
// TextBetween) against a plain baseline in the same run (one whole-buffer iconv conversion
// from UTF-8 to CP936, then memmem for the markers). Prints both, and their ratio.
#include <iconv.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "text/code_pages.h"
#include "text/text_ops.h"

namespace {

constexpr char kLeft[] = "s_str+\"";
constexpr char kRight[] = ".m4a\"}];";
constexpr char kId[] = "20240611";

// Deterministic page of about `size` bytes: HTML lines of Chinese text (all in 936) and
// ASCII markup, the markers around kId about 4 KiB before the end.
std::string MakePage(size_t size) {
    const char* words[] = {"\xE6\x88\x91", "\xE4\xBB\xAC", "\xE9\x9F\xB3", "\xE4\xB9\x90",
                           "\xE4\xB8\x8B", "\xE8\xBD\xBD", "\xE7\xBD\x91", "\xE7\xAB\x99",
                           "\xE8\x88\x9E", "\xE6\x9B\xB2", "\xEF\xBC\x8C", "\xE3\x80\x82"};  // 我们音乐下载网站舞曲，。
    std::string page = "<html><head><meta charset=\"utf-8\"><title>\xE8\x88\x9E\xE6\x9B\xB2</title></head><body>\n";
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
    const size_t bodyEnd = size - 4096;
    while (page.size() < bodyEnd) {
        page += "<li class=\"item\"><a href=\"/play/" + std::to_string(next()) + ".html\">";
        for (int i = 0, n = 8 + static_cast<int>(next() % 24); i < n; ++i)
            page += words[next() % 12];
        page += "</a><span>DJ Mix " + std::to_string(next()) + "</span></li>\n";
    }
    page += std::string("<script>var list=[{") + kLeft + kId + kRight + "</script>\n";
    while (page.size() < size)
        page += "<p>\xE8\x88\x9E\xE6\x9B\xB2 footer</p>\n";
    page.resize(size);
    return page;
}

double Ms(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The best of `runs` timings of f(copy of page); the copy is made before the clock starts,
// as the fetched bytes exist before decoding begins.
template <typename F>
double Best(int runs, const std::string& page, F f) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        std::string bytes = page;
        auto t0 = std::chrono::steady_clock::now();
        f(std::move(bytes));
        best = std::min(best, Ms(std::chrono::steady_clock::now() - t0));
    }
    return best;
}

// As OnParse does it, each step's input released once the next has used it.
std::string ToolPath(std::string bytes) {
    std::string text = BytesToText(std::move(bytes));
    std::string decoded = Utf8ToAnsi(text);
    return TextBetween(decoded, kLeft, kRight, std::nullopt, true);
}

std::string Baseline(const std::string& bytes) {
    iconv_t cd = iconv_open("CP936", "UTF-8");
    std::string out(bytes.size() + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    char* o = out.data();
    size_t il = bytes.size(), ol = out.size();
    iconv(cd, &in, &il, &o, &ol);
    iconv_close(cd);
    out.resize(out.size() - ol);
    const char* l = static_cast<const char*>(memmem(out.data(), out.size(), kLeft, sizeof kLeft - 1));
    if (!l)
        return {};
    l += sizeof kLeft - 1;
    const char* end = out.data() + out.size();
    const char* r = static_cast<const char*>(memmem(l, static_cast<size_t>(end - l), kRight, sizeof kRight - 1));
    return r ? std::string(l, r) : std::string();
}

}  // namespace

int main(int argc, char** argv) {
    const size_t size = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 8u << 20;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
    const std::string page = MakePage(size);

    std::string copy = page;
    auto t0 = std::chrono::steady_clock::now();
    std::string first = ToolPath(std::move(copy));  // includes building the 936 tables at first use
    double firstUse = Ms(std::chrono::steady_clock::now() - t0);
    std::printf("resolve: %.1f MiB UTF-8 page, best of %d runs each (first use of the tool path: %.2f ms)\n",
                size / 1048576.0, runs, firstUse);

    // Twice: with the allocator as it comes (large blocks mapped fresh, so every run pays
    // the first touch of its pages), then with freed memory kept for reuse, which shows
    // the work itself where first touches are expensive.
    for (int mode = 0; mode < 2; ++mode) {
        if (mode == 1) {
            mallopt(M_MMAP_THRESHOLD, 1 << 30);
            mallopt(M_TRIM_THRESHOLD, 1 << 30);
        }
        std::string tool, base;
        double toolMs = Best(runs, page, [&](std::string b) { tool = ToolPath(std::move(b)); });
        double baseMs = Best(runs, page, [&](std::string b) { base = Baseline(b); });
        if (tool != kId || base != kId || first != kId) {
            std::fprintf(stderr, "wrong id: tool \"%s\", baseline \"%s\"\n", tool.c_str(), base.c_str());
            return 1;
        }
        std::printf("%s\n", mode == 0 ? "fresh memory per run:" : "freed memory reused:");
        std::printf("  tool path (BytesToText + Utf8ToAnsi + TextBetween): %8.2f ms\n", toolMs);
        std::printf("  baseline (iconv UTF-8 -> CP936 + memmem):           %8.2f ms\n", baseMs);
        std::printf("  ratio tool / baseline: %.2f (goal: at most 2.00)\n", toolMs / baseMs);
    }
    return 0;
}
