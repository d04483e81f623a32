#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* name;
    std::string line;
    std::vector<std::string> args;
};

TEST(SplitCommandLine, Table) {
    const Case cases[] = {
        {"no argument", "qzln.exe", {}},
        {"no argument, trailing space", "qzln.exe ", {}},
        {"quoted path with space, quoted argument, then c", "\"C:\\Program Files\\qzln.exe\" \"a b\" c", {"a b", "c"}},
        {"plain word followed directly by quoted", "qzln.exe abc\"def ghi\"", {"abc", "def ghi"}},
        {"two quotes give an empty argument", "qzln.exe \"\"", {""}},
        {"spaces and tabs before the word", "qzln.exe   \t \t word", {"word"}},
        {"control bytes separate", "qzln.exe a\x01" "b\x1f" "c", {"a", "b", "c"}},
        {"unclosed quote runs to the end", "qzln.exe \"a b", {"a b"}},
        {"quoted argument needs no separator", "qzln.exe \"a\"b", {"a", "b"}},
        {"backslash is an ordinary byte", "qzln.exe a\\\"b\"", {"a\\", "b"}},
        {"first word of the line is never an argument", "\"qzln.exe\"x y", {"x", "y"}},
        {"quoted path skips one space only", "\"p\"  x", {"x"}},
        {"unquoted path ends at a space, not a tab", "qzln\t.exe x", {"x"}},
        {"double-byte trail byte 0x20 does not end", "qzln.exe \x81 z", {"\x81 z"}},
        {"double-byte trail byte quote does not end", "qzln.exe \x81\"z", {"\x81\"z"}},
        {"trail byte quote inside a quoted argument", "qzln.exe \"\x81\"z\"", {"\x81\"z"}},
        {"Chinese argument", "qzln.exe \xBD\xE2\xCE\xF6", {"\xBD\xE2\xCE\xF6"}},
        {"lone lead byte at the very end", "qzln.exe ab\xC7", {"ab\xC7"}},
        {"empty line", "", {}},
        {"quote never closed in path", "\"qzln.exe x", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SplitCommandLine(c.line), c.args);
    }
}

}  // namespace
