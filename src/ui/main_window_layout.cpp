#include "ui/main_window_layout.h"

#include <string>

#include "app/program_main.h"
#include "download/download_task.h"
#include "download/save_location.h"
#include "resolve/on_parse.h"
#include "ui/controls.h"
#include "ui/official_site.h"
#include "ui/progress_display.h"
#include "ui/texts.h"

using platform::ControlKind;
using platform::HAlign;
using platform::Rgb;

namespace {

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 224, 128};
constexpr Rgb kCyan{0, 255, 255};
constexpr Rgb kNone{0, 0, 0};

const std::string& ExampleAddress() {
    static const std::string address = SiteAddress("/dance/play/348698.html");
    return address;
}

platform::WindowSpec BuildLayout() {
    using K = ControlKind;
    // id, name, kind, left, top, width, height, text, colour, has colour, align, read-only, focus, handler
    return platform::WindowSpec{
        texts::kCaption,
        359,
        262,
        {90, 180, 270, 354},
        {
            {按钮4, "按钮4", K::PushButton, 240, 40, 112, 32, texts::kOfficialSite, kNone, false, HAlign::Centre, false, true, OnOfficialSite},
            {按钮3, "按钮3", K::PushButton, 0, 153, 354, 32, texts::kDownload, kNone, false, HAlign::Centre, false, true, OnDownload},
            {进度条1, "进度条1", K::ProgressBar, 0, 192, 354, 22, "", kNone, false, HAlign::Left, false, false, nullptr},
            {状态条1, "状态条1", K::StatusBar, 0, 202, 374, 20, "", kNone, false, HAlign::Left, false, false, nullptr},
            {透明标签3, "透明标签3", K::Label, 0, 126, 64, 24, texts::kSaveLocation, kRed, true, HAlign::Centre, false, false, nullptr},
            {按钮2, "按钮2", K::PushButton, 312, 127, 41, 20, "...", kNone, false, HAlign::Centre, false, true, OnBrowse},
            {编辑框3, "编辑框3", K::Edit, 64, 128, 248, 20, "", kGreen, true, HAlign::Left, true, true, nullptr},
            {通用对话框1, "通用对话框1", K::CommonDialog, 0, 0, 0, 0, "", kNone, false, HAlign::Left, false, false, nullptr},
            {时钟1, "时钟1", K::Timer, 0, 0, 0, 0, "", kNone, false, HAlign::Left, false, false, OnTimerTick},
            {透明标签2, "透明标签2", K::Label, -8, 104, 376, 20, texts::kDownload, kCyan, true, HAlign::Centre, false, false, nullptr},
            {透明标签1, "透明标签1", K::Label, 0, 0, 64, 40, texts::kSourceAddress, kRed, true, HAlign::Left, false, false, nullptr},
            {编辑框2, "编辑框2", K::Edit, 0, 80, 352, 24, "", kGreen, true, HAlign::Left, true, true, nullptr},
            {按钮1, "按钮1", K::PushButton, 0, 40, 232, 32, texts::kParse, kNone, false, HAlign::Centre, false, true, OnParse},
            {编辑框1, "编辑框1", K::Edit, 72, 8, 282, 24, ExampleAddress().c_str(), kRed, true, HAlign::Left, false, true, nullptr},
        },
        OnWindowCreated,
    };
}

}  // namespace

std::string SiteAddress(const char* path) { return std::string("http://") + QZLN_PAGE_HOST + path; }

const platform::WindowSpec& MainWindowLayout() {
    static const platform::WindowSpec layout = BuildLayout();
    return layout;
}
