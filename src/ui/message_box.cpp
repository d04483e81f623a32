#include "ui/message_box.h"

#include "platform/ui_runtime.h"
#include "ui/texts.h"

int ShowMessageBox(const std::string& text, int flags, const std::optional<std::string>& title) {
    // The system numbers the buttons from IDOK = 1; the tool from 0.
    return platform::ShowBox(text, flags, title.value_or(texts::kTitleInfo)) - 1;
}
