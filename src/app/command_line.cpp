#include "app/command_line.h"

#include "platform/ui_runtime.h"

namespace {

bool IsSeparator(unsigned char c) { return c <= 0x20; }

// Index just past the program path and the one space that may follow it.
size_t SkipProgramPath(std::string_view line) {
    size_t i = 0;
    if (!line.empty() && line[0] == '"') {
        size_t close = line.find('"', 1);
        if (close == std::string_view::npos) return line.size();
        i = close + 1;
    } else {
        size_t space = line.find(' ');
        if (space == std::string_view::npos) return line.size();
        i = space;
    }
    if (i < line.size() && line[i] == ' ') ++i;
    return i;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> args;
    size_t i = SkipProgramPath(line);
    const size_t n = line.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (IsSeparator(c)) {
            ++i;
            continue;
        }
        const bool quoted = c == '"';
        if (quoted) ++i;
        std::string arg;
        while (i < n) {
            unsigned char b = static_cast<unsigned char>(line[i]);
            if (b == '"' || (!quoted && IsSeparator(b))) break;
            if (b >= 0x80) {
                // A lead byte takes its trail byte along, whatever it is; a lone lead
                // byte at the very end stays on its own rather than reading past the line.
                size_t take = i + 1 < n ? 2 : 1;
                arg.append(line.substr(i, take));
                i += take;
            } else {
                arg.push_back(static_cast<char>(b));
                ++i;
            }
        }
        if (quoted && i < n) ++i;  // the closing quote
        args.push_back(std::move(arg));
    }
    return args;
}

std::vector<std::string> GetCommandLineArgs() { return SplitCommandLine(platform::CommandLineBytes()); }
