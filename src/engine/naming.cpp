#include "engine/naming.h"

namespace engine {
namespace {

// Where the file name starts: after the last "\\" or "/". The path is code page 936, where
// 0x5C can be the second byte of a two-byte character, so the scan steps over those.
size_t NameStart(const std::string& path) {
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (c >= 0x80) {
            ++i;
        } else if (c == '\\' || c == '/') {
            start = i + 1;
        }
    }
    return start;
}

}  // namespace

std::string NextName(const std::string& path) {
    size_t nameStart = NameStart(path);
    size_t dot = path.find('.', nameStart);
    size_t stemEnd = dot == std::string::npos ? path.size() : dot;
    std::string stem = path.substr(0, stemEnd);
    std::string rest = path.substr(stemEnd);
    // A counter of one or two digits in parentheses at the end of the stem goes up by one.
    size_t open = stem.rfind('(');
    if (!stem.empty() && stem.back() == ')' && open != std::string::npos && open >= nameStart) {
        std::string digits = stem.substr(open + 1, stem.size() - open - 2);
        bool counter = !digits.empty() && digits.size() <= 2;
        for (char c : digits)
            counter = counter && c >= '0' && c <= '9';
        if (counter)
            return stem.substr(0, open) + "(" + std::to_string(std::stoi(digits) + 1) + ")" + rest;
    }
    return stem + "(1)" + rest;
}

bool FindFreeName(const std::string& path,
                  const std::function<bool(const std::string&)>& taken,
                  std::string* freeName) {
    std::string name = path;
    for (int tries = 0; tries < 99; ++tries) {
        name = NextName(name);
        if (name.size() > kMaxTargetPath)
            return false;
        if (!taken(name)) {
            *freeName = name;
            return true;
        }
    }
    return false;
}

}  // namespace engine
