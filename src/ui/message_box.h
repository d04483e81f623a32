// The tool's one message box: task-modal, no owner, default title "信息：".
#pragma once

#include <optional>
#include <string>

// Flags as Windows numbers them (0 OK, 4 Yes/No, 48 warning, 64 information).
// The result names the button: 0 OK, 1 Cancel, 2 Abort, 3 Retry, 4 Ignore, 5 Yes, 6 No.
int ShowMessageBox(const std::string& text, int flags, const std::optional<std::string>& title = std::nullopt);

inline constexpr int kBoxYes = 5;
