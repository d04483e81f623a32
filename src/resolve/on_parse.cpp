#include "resolve/on_parse.h"

#include <optional>
#include <string>
#include <utility>

#include "app/globals.h"
#include "platform/http_fetch.h"
#include "platform/ui_runtime.h"
#include "text/code_pages.h"
#include "text/text_ops.h"
#include "ui/controls.h"

namespace {

// The markers around the track id in the play page's script: s_str+" and .m4a"}];
constexpr char kLeftMarker[] = "s_str+\"";
constexpr char kRightMarker[] = ".m4a\"}];";

// First half: the page at the address in 编辑框1, decoded from UTF-8 into pageText.
// Every failure has become empty bytes by now, hence an empty pageText.
void FetchPage() {
    std::string bytes = platform::HttpFetch(platform::GetControlText(编辑框1));  // as typed, no trimming
    std::string text = BytesToText(std::move(bytes));
    std::string decoded = Utf8ToAnsi(text);
    std::string().swap(text);
    pageText = std::move(decoded);
}

// Second half: the id between the markers, and the audio address in 编辑框2 after every
// click, with an empty id when a marker is missing.
void ShowAudioAddress() {
    std::string id = TextBetween(pageText, kLeftMarker, kRightMarker, std::nullopt, true);
    trackId = std::move(id);
    platform::SetControlText(编辑框2, AudioAddress(trackId));
}

}  // namespace

void OnParse() {
    FetchPage();
    ShowAudioAddress();
}

std::string AudioAddress(const std::string& id) {
    return std::string("http://") + QZLN_MEDIA_HOST + "/mp3/" + id + ".mp3";
}
