// The real program under Wine, driven from outside: its window and controls as the layout
// gives them, the first command-line argument, the keys, the home-page button and the
// message boxes of the frame.
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <fstream>
#include <sstream>

#include "automation.h"
#include "gui_fixture.h"

namespace {

using namespace automation;

struct ExpectedControl {
    const wchar_t* name;
    const wchar_t* className;
    int left, top, width, height;
    const wchar_t* text;  // nullptr: not checked here
};

// Every control with a window, in stacking order (the first on top).
const ExpectedControl kControls[] = {
    {L"按钮4", L"Button", 240, 40, 112, 32, L"QZLN官网"},
    {L"按钮3", L"Button", 0, 153, 354, 32, L"下载"},
    {L"进度条1", L"msctls_progress32", 0, 192, 354, 22, L""},
    {L"状态条1", L"msctls_statusbar32", 0, 0, 0, 0, nullptr},  // docked: checked on its own
    {L"透明标签3", L"Static", 0, 126, 64, 24, L"保存位置"},
    {L"按钮2", L"Button", 312, 127, 41, 20, L"..."},
    {L"编辑框3", L"Edit", 64, 128, 248, 20, L""},
    {L"透明标签2", L"Static", -8, 104, 376, 20, L"下载"},
    {L"透明标签1", L"Static", 0, 0, 64, 40, L"原音乐地址"},
    {L"编辑框2", L"Edit", 0, 80, 352, 24, L""},
    {L"按钮1", L"Button", 0, 40, 232, 32, L"解析"},
    {L"编辑框1", L"Edit", 72, 8, 282, 24, nullptr},
};

TEST_F(GuiTest, WindowAndControlsAsTheLayoutGivesThem) {
    ASSERT_TRUE(Start(L""));
    RECT r;
    ::GetWindowRect(window_, &r);
    EXPECT_EQ(r.right - r.left, 359);
    EXPECT_EQ(r.bottom - r.top, 262);
    EXPECT_EQ(r.left, (::GetSystemMetrics(SM_CXSCREEN) - 359) / 2);
    EXPECT_EQ(r.top, (::GetSystemMetrics(SM_CYSCREEN) - 262) / 2);
    const LONG style = ::GetWindowLongW(window_, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
    EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
    // The icon group of the program file, which the window class takes in both sizes.
    HMODULE file = ::LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(file, nullptr);
    EXPECT_NE(::FindResourceW(file, L"DEFAULT_ICON", MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */), nullptr);
    ::FreeLibrary(file);

    const std::vector<ChildInfo> children = Children(window_);
    ASSERT_EQ(children.size(), std::size(kControls));
    for (size_t i = 0; i < children.size(); ++i) {
        const ExpectedControl& want = kControls[i];
        const ChildInfo& got = children[i];
        SCOPED_TRACE(Utf8(want.name));
        EXPECT_EQ(got.hwnd, Control(window_, want.name)) << "stacking order";
        EXPECT_EQ(got.className, want.className);
        EXPECT_TRUE(got.style & WS_VISIBLE);
        if (std::wstring(want.className) != L"msctls_statusbar32") {
            EXPECT_EQ(got.rect.left, want.left);
            EXPECT_EQ(got.rect.top, want.top);
            EXPECT_EQ(got.rect.right - got.rect.left, want.width);
            EXPECT_EQ(got.rect.bottom - got.rect.top, want.height);
        }
        if (want.text) {
            EXPECT_EQ(Text(got.hwnd), want.text);
        }
        const std::wstring cls = got.className;
        if (cls == L"Edit") {
            EXPECT_TRUE(got.exStyle & WS_EX_CLIENTEDGE);
            EXPECT_TRUE(got.style & ES_AUTOHSCROLL);
            EXPECT_TRUE(got.style & WS_TABSTOP);
            EXPECT_EQ((got.style & ES_READONLY) != 0, std::wstring(want.name) != L"编辑框1");
        } else if (cls == L"Button") {
            EXPECT_EQ(got.style & BS_TYPEMASK, static_cast<DWORD>(BS_PUSHBUTTON)) << "no default button";
            EXPECT_TRUE(got.style & BS_MULTILINE);
            EXPECT_TRUE(got.style & WS_TABSTOP);
        } else if (cls == L"Static") {
            EXPECT_TRUE(got.style & SS_CENTERIMAGE);
            EXPECT_FALSE(got.style & WS_TABSTOP);
            EXPECT_EQ(got.style & SS_TYPEMASK, std::wstring(want.name) == L"透明标签1" ? SS_LEFT : SS_CENTER);
        }
    }
    EXPECT_EQ(Text(Control(window_, L"编辑框1")), L"http://" + Widen(QZLN_PAGE_HOST) + L"/dance/play/348698.html");

    HWND bar = Control(window_, L"进度条1");
    EXPECT_EQ(ProgressRange(bar), std::make_pair(0, 100));
    EXPECT_EQ(ProgressPos(bar), 0);
    EXPECT_TRUE(::GetWindowLongW(bar, GWL_STYLE) & PBS_SMOOTH);
    EXPECT_TRUE(::GetWindowLongW(bar, GWL_EXSTYLE) & WS_EX_STATICEDGE);

    HWND status = Control(window_, L"状态条1");
    EXPECT_EQ(StatusPartEdges(status), (std::vector<int>{90, 180, 270, 354}));
    EXPECT_EQ(StatusTexts(status), (std::vector<std::wstring>(4)));
    EXPECT_FALSE(::GetWindowLongW(status, GWL_STYLE) & SBARS_SIZEGRIP);
    RECT client, bottom;
    ::GetClientRect(window_, &client);
    ::GetWindowRect(status, &bottom);
    ::MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&bottom), 2);
    EXPECT_EQ(bottom.left, 0);
    EXPECT_EQ(bottom.right, client.right);
    EXPECT_EQ(bottom.bottom, client.bottom) << "docked to the bottom edge";
}

struct ArgumentCase {
    const char* label;
    std::wstring arguments;  // after the program path
    bool quotedPathWithSpace;
    std::wstring expected;
};

TEST_F(GuiTest, FirstArgumentLandsInTheAddressBox) {
    // Run once more under another ANSI code page: the program's texts stay code page 936.
    if (const char* acp = std::getenv("QZLN_EXPECT_ACP"))
        ASSERT_EQ(::GetACP(), std::stoul(acp));
    const ArgumentCase cases[] = {
        {"quoted path with a space, quoted argument", L"\"a b\" c", true, L"a b"},
        {"empty quoted argument", L"\"\"", true, L""},
        {"Chinese argument (through code page 936)", L"\"http://127.0.0.1/舞曲 播放.html\"", true,
         L"http://127.0.0.1/舞曲 播放.html"},
        {"plain path, blanks and tabs before a word", L"  \t  abc", false, L"abc"},
        {"word followed by a quoted argument", L"abc\"def ghi\"", false, L"abc"},
    };
    for (const ArgumentCase& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(Start(c.arguments, c.quotedPathWithSpace));
        EXPECT_EQ(Text(Control(window_, L"编辑框1")), c.expected);
        Close();
    }
}

TEST_F(GuiTest, EscClosesTheWindowFromAnyControlAndTheProgramEndsWithZero) {
    for (const wchar_t* name : {L"编辑框1", L"按钮3", L"编辑框2"}) {
        SCOPED_TRACE(Utf8(name));
        ASSERT_TRUE(Start(L""));
        PostKey(Control(window_, name), VK_ESCAPE);
        const std::optional<DWORD> code = process_->WaitExit(10000);
        ASSERT_TRUE(code.has_value()) << "still running after Esc";
        EXPECT_EQ(*code, 0u);
        process_.reset();
    }
}

TEST_F(GuiTest, ReadOnlyBoxesIgnoreTyping) {
    ASSERT_TRUE(Start(L"\"\""));
    HWND edit1 = Control(window_, L"编辑框1");
    PostChars(Control(window_, L"编辑框2"), L"typed");
    PostChars(Control(window_, L"编辑框3"), L"typed");
    PostChars(edit1, L"xyz");
    // The address box takes the same typing, so by then the other boxes have had theirs.
    ASSERT_TRUE(WaitUntil([&] { return Text(edit1) == L"xyz"; }, 5000)) << Utf8(Text(edit1));
    EXPECT_EQ(Text(Control(window_, L"编辑框2")), L"");
    EXPECT_EQ(Text(Control(window_, L"编辑框3")), L"");
}

TEST_F(GuiTest, TabMovesTheFocusAndEnterStartsNothing) {
    ASSERT_TRUE(Start(L""));
    HWND first = Control(window_, L"按钮4");
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(window_) == first; }, 5000)) << "the first control takes the focus";
    SendKey(VK_TAB);
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(window_) == Control(window_, L"按钮3"); }, 5000));
    SendKey(VK_TAB, true);
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(window_) == first; }, 5000));
    SendKey(VK_TAB, true);  // backwards from the first goes round to the last
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(window_) == Control(window_, L"编辑框1"); }, 5000));

    // Enter on the home-page button and in the address box: no click, no parse.
    PostKey(first, VK_RETURN);
    PostKey(Control(window_, L"编辑框1"), VK_RETURN);
    ::Sleep(1500);
    EXPECT_EQ(BrowserLog(), "");
    EXPECT_EQ(Text(Control(window_, L"编辑框2")), L"");
    EXPECT_FALSE(WaitForBox(process_->Id(), 0).has_value());
    EXPECT_TRUE(::IsWindow(window_));
}

TEST_F(GuiTest, HomePageButtonOpensTheSiteInTheBrowser) {
    if (!std::getenv("QZLN_BROWSER_LOG"))
        GTEST_SKIP() << "needs scripts/wine-session.sh";
    ASSERT_TRUE(Start(L""));
    Click(Control(window_, L"按钮4"));
    const std::string expected = std::string("http://") + QZLN_PAGE_HOST + "/\n";
    EXPECT_TRUE(WaitUntil([&] { return BrowserLog() == expected; }, 15000)) << BrowserLog();
    EXPECT_TRUE(::IsWindow(window_));
}

TEST_F(GuiTest, WrongUseIsAnsweredWithATaskModalBox) {
    ASSERT_TRUE(Start(L""));
    struct {
        const wchar_t* button;
        const wchar_t* title;
        const wchar_t* text;
    } cases[] = {
        {L"按钮2", L"信息：", L"请输入网址"},           // browse with no download address
        {L"按钮3", L"青梧提示：", L"请选择保存位置!"},  // download with no folder
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.text));
        Click(Control(window_, c.button));
        std::optional<Box> box = WaitForBox(process_->Id(), 10000);
        ASSERT_TRUE(box.has_value());
        EXPECT_EQ(box->title, c.title);
        EXPECT_EQ(box->text, c.text);
        EXPECT_EQ(box->buttons, std::vector<int>{IDOK});
        EXPECT_FALSE(box->hasIcon);
        EXPECT_EQ(::GetWindow(box->hwnd, GW_OWNER), nullptr) << "no owner";
        EXPECT_FALSE(::IsWindowEnabled(window_)) << "task-modal on the UI thread";
        Answer(*box, IDOK);
        EXPECT_TRUE(WaitGone(box->hwnd, 5000));
        EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(window_) != FALSE; }, 5000));
    }
}

}  // namespace
