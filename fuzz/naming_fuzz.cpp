// Fuzzes the choice of a new name for a target file that exists already. Checks: the
// new name stays in the same folder (nothing up to the last "/" changes, and no path
// separator appears or goes), it differs from the old one, it grows by a few bytes at
// most, and the search for a free name ends with a name that is free and short enough.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "engine/naming.h"

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

size_t Count(const std::string& s, char c) {
    size_t n = 0;
    for (char x : s)
        n += x == c;
    return n;
}

// A lead byte right before a "/" makes the two read as one character in code page 936
// but as a folder separator to a POSIX file system; the tool never builds such a path.
bool LeadBeforeSlash(const std::string& s) {
    for (size_t i = 0; i + 1 < s.size(); ++i)
        if (static_cast<unsigned char>(s[i]) >= 0x80 && s[i + 1] == '/')
            return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const uint8_t takenCount = in.ConsumeIntegralInRange<uint8_t>(0, 120);
    std::string path = in.ConsumeRandomLengthString(400);
    path = path.substr(0, path.find('\0'));

    const std::string next = engine::NextName(path);
    Check(next != path);
    Check(next.size() <= path.size() + 3);
    Check(Count(next, '/') == Count(path, '/') && Count(next, '\\') == Count(path, '\\'));
    if (!LeadBeforeSlash(path)) {
        const size_t folder = path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1;
        Check(next.compare(0, folder, path, 0, folder) == 0);
    }

    // The first takenCount names of the sequence are taken (plus the remaining input's
    // own names): the free one found must be none of them, and within the path limit.
    std::set<std::string> taken;
    std::string name = path;
    for (int i = 0; i < takenCount; ++i) {
        name = engine::NextName(name);
        taken.insert(name);
    }
    while (in.remaining_bytes() > 0)
        taken.insert(in.ConsumeRandomLengthString(64));
    std::string found;
    int calls = 0;
    const bool ok = engine::FindFreeName(
        path, [&](const std::string& n) { return ++calls, taken.count(n) > 0; }, &found);
    Check(calls <= 99);
    if (ok) {
        Check(!taken.count(found) && found.size() <= engine::kMaxTargetPath);
        Check(Count(found, '/') == Count(path, '/'));
    }
    if (takenCount < 99 && path.size() + 3 * 4 < engine::kMaxTargetPath && taken.size() == takenCount) {
        // Room and free names left: one must be found.
        Check(ok);
    }
    return 0;
}
