#include "download/save_location.h"

#include <algorithm>

#include "app/globals.h"
#include "platform/shell.h"
#include "platform/ui_runtime.h"
#include "text/text_ops.h"
#include "ui/controls.h"
#include "ui/message_box.h"
#include "ui/texts.h"

namespace {

// The file name comes from a web page. A name that could address something other than a
// new file in the chosen folder (the folder itself, its parent, or a stream of an
// existing file after a ":") must not become a path: it yields an empty path, which the
// engine cannot create, so the download fails without writing anything.
bool IsSafeFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find(':') == std::string::npos;
}

}  // namespace

void OnBrowse() {
    if (platform::GetControlText(编辑框2).empty()) {
        ShowMessageBox(texts::kEnterAddress, 0);
        return;
    }
    const std::string address = platform::GetControlText(编辑框2);
    const int length = TextLength(address);
    // After the last "/" or "\": a "\" in the name would lead out of the chosen folder.
    const int slash = std::max(FindTextReverse(address, "/", std::nullopt, false),
                               FindTextReverse(address, "\\", std::nullopt, false));
    const std::string fileName = TextRight(address, length - slash);

    const std::string folder = platform::PickFolder(texts::kPickFolderTitle, false);
    if (folder.empty()) return;

    platform::SetControlText(编辑框3, folder);
    // Always one "\" more, also after a drive root ("D:\" gives "D:\\123.mp3").
    savePath = IsSafeFileName(fileName) ? folder + "\\" + fileName : std::string();
}
