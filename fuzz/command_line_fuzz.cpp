// Fuzzes the command-line split with arbitrary bytes (the program path first).
// Checks: no byte is invented, a double quote only ever stands as the second byte of a
// double-byte character, and quoting the arguments again gives the same arguments back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/command_line.h"
#include "platform/ui_runtime.h"

// The split is tested on its own; the process's command line is never read here.
std::string platform::CommandLineBytes() {
    return {};
}

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

// True when the argument ends with a lead byte whose trail byte is missing.
bool EndsInLoneLead(const std::string& arg) {
    size_t i = 0;
    while (i < arg.size()) {
        if (static_cast<unsigned char>(arg[i]) >= 0x80) {
            if (i + 1 == arg.size())
                return true;
            i += 2;
        } else {
            ++i;
        }
    }
    return false;
}

bool HasSingleByteQuote(const std::string& arg) {
    for (size_t i = 0; i < arg.size(); ++i) {
        if (static_cast<unsigned char>(arg[i]) >= 0x80) {
            ++i;
        } else if (arg[i] == '"') {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view line(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> args = SplitCommandLine(line);

    size_t total = 0;
    bool requotable = true;
    for (const std::string& arg : args) {
        total += arg.size();
        Check(!HasSingleByteQuote(arg));
        if (EndsInLoneLead(arg))
            requotable = false;  // its lead byte would swallow the closing quote
    }
    Check(total <= size);
    Check(SplitCommandLine(line) == args);

    if (requotable) {
        std::string again = "p";
        for (const std::string& arg : args)
            again += " \"" + arg + "\"";
        Check(SplitCommandLine(again) == args);
    }
    return 0;
}
