// Splitting the command line (code page 936 bytes, program path first) into arguments.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The arguments after the program path. Quotes group, nothing escapes, and a byte of
// 0x80 or above takes the byte after it along, whatever that byte is.
std::vector<std::string> SplitCommandLine(std::string_view line);

// SplitCommandLine of the process's own command line.
std::vector<std::string> GetCommandLineArgs();
