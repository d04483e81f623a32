// The system shell: opening an address in the default browser, the folder-browse dialog.
#pragma once

#include <string>

namespace platform {

// Hands the address (code page 936) to the shell's "open" action; does not wait or report.
void OpenUrl(const std::string& address);

// The shell's modal folder-browse dialog, rooted at the desktop, owned by the active
// window, the title as its instruction text. Returns the chosen file-system path in
// code page 936, or an empty text when cancelled or for an item without a path.
std::string PickFolder(const std::string& title, bool includeFiles);

}  // namespace platform
