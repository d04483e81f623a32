// The Win32 window runtime in-process, on a small window of its own: the control operations
// with their rules (progress clamp, status part range, timer period), and changes made from
// another thread, which reach the window in the order of the calls and are dropped once it
// has gone.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/ui_runtime.h"

namespace {

using platform::ControlKind;
using platform::HAlign;

enum : int { kEdit, kBar, kStatus, kTimer };
constexpr char kCaption[] = "runtime test";
constexpr platform::Rgb kBlack{0, 0, 0};

std::atomic<int> ticks{0};
std::string textSeenAtCreation;
bool visibleAtCreation = true;

HWND Window() {
    return ::FindWindowW(L"QzlnMainWindow", L"runtime test");
}
HWND Child(int id) {
    return ::GetDlgItem(Window(), 1000 + id);
}

std::wstring StatusText(int part) {
    wchar_t buffer[256] = {};
    ::SendMessageW(Child(kStatus), SB_GETTEXTW, part, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

void OnTick() {
    if (++ticks == 3)
        platform::SetTimerPeriod(kTimer, 0);
}

void OnCreated() {
    textSeenAtCreation = platform::GetControlText(kEdit);
    visibleAtCreation = ::IsWindowVisible(Window()) != FALSE;
}

const platform::WindowSpec& TestLayout() {
    static const platform::WindowSpec layout{
        kCaption,
        359,
        262,
        {90, 180, 270, 354},
        {
            {kEdit, "edit", ControlKind::Edit, 0, 0, 200, 24, "\xD6\xD0\xCE\xC4", kBlack, false, HAlign::Left, false,
             true, nullptr},  // 中文
            {kBar, "bar", ControlKind::ProgressBar, 0, 40, 200, 20, "", kBlack, false, HAlign::Left, false, false,
             nullptr},
            {kStatus, "status", ControlKind::StatusBar, 0, 0, 0, 0, "", kBlack, false, HAlign::Left, false, false,
             nullptr},
            {kTimer, "timer", ControlKind::Timer, 0, 0, 0, 0, "", kBlack, false, HAlign::Left, false, false, OnTick},
        },
        OnCreated,
    };
    return layout;
}

TEST(RuntimeTest, ControlOperationsOnTheUiThreadAndFromAnother) {
    ASSERT_TRUE(platform::SetUpRuntime());
    platform::LoadWindow(TestLayout());
    ASSERT_NE(Window(), nullptr);
    EXPECT_EQ(textSeenAtCreation, "\xD6\xD0\xCE\xC4") << "the table's text, in code page 936";
    EXPECT_FALSE(visibleAtCreation) << "the created event comes before the window is shown";
    EXPECT_TRUE(::IsWindowVisible(Window()));
    EXPECT_TRUE(platform::WindowAlive());

    // The progress position is stored clamped to 0..32767 and drawn clamped to 0..100.
    const struct {
        int write, stored, drawn;
    } positions[] = {{29, 29, 29}, {150, 150, 100}, {-5, 0, 0}, {40000, 32767, 100}, {0, 0, 0}};
    for (const auto& p : positions) {
        SCOPED_TRACE(p.write);
        platform::SetProgressPos(kBar, p.write);
        EXPECT_EQ(platform::GetProgressPos(kBar), p.stored);
        EXPECT_EQ(::SendMessageW(Child(kBar), PBM_GETPOS, 0, 0), p.drawn);
    }

    // Status parts 0..3; any other index is ignored.
    platform::StatusBarSetText(kStatus, 1, "12.5kb/\xC3\xEB");  // 秒
    platform::StatusBarSetText(kStatus, 4, "x");
    platform::StatusBarSetText(kStatus, -1, "x");
    EXPECT_EQ(StatusText(1), L"12.5kb/秒");
    EXPECT_EQ(StatusText(0), L"");
    EXPECT_EQ(StatusText(3), L"");

    // Another thread: many changes, applied in the order of its calls; then a timer that
    // stops itself after three ticks, then the close.
    std::string finalText;
    std::wstring finalStatus;
    std::thread worker([&] {
        for (int i = 0; i < 200; ++i) {
            platform::SetControlText(kEdit, "t" + std::to_string(i));
            platform::StatusBarSetText(kStatus, 2, std::to_string(i) + "KB");
        }
        platform::SetTimerPeriod(kTimer, -20);  // counts as 0: nothing changes
        platform::SetTimerPeriod(kTimer, 20);
        while (ticks < 3)
            ::Sleep(10);
        platform::PostToUi([&] {
            finalText = platform::GetControlText(kEdit);
            finalStatus = StatusText(2);
            ::PostMessageW(Window(), WM_CLOSE, 0, 0);
        });
    });
    platform::RunMessageLoop();
    worker.join();
    EXPECT_EQ(finalText, "t199");
    EXPECT_EQ(finalStatus, L"199KB");
    ::Sleep(200);
    EXPECT_EQ(ticks, 3) << "the timer stopped at period 0";

    // The window has gone: changes from another thread are dropped, nothing is touched.
    EXPECT_FALSE(platform::WindowAlive());
    std::thread late([] {
        platform::SetControlText(kEdit, "late");
        platform::SetProgressPos(kBar, 5);
        platform::PostToUi([] { ADD_FAILURE() << "ran after the window had gone"; });
    });
    late.join();
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageW(&msg);
    EXPECT_EQ(platform::GetProgressPos(kBar), 0);
    platform::RunMessageLoop();  // returns at once: no window
}

}  // namespace
