// The description of a window and its controls, as data. The tool's main window is one
// table of these (ui/main_window_layout.cpp); the window runtime builds the real window from it.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

enum class ControlKind { PushButton, Edit, Label, ProgressBar, StatusBar, Timer, CommonDialog };
enum class HAlign { Left, Centre };

struct Rgb {
    uint8_t r, g, b;
};

using Handler = void (*)();

struct ControlSpec {
    int id;  // the tool addresses the control by this number
    const char* name;  // the layout's name, UTF-8, for diagnostics and automation
    ControlKind kind;
    int left, top, width, height;
    const char* text;  // code page 936 bytes
    Rgb textColor;
    bool hasTextColor;
    HAlign align;
    bool readOnly;    // edit boxes
    bool takesFocus;  // buttons and edit boxes
    Handler onClick;  // push buttons: clicked; timer: periodic event
};

struct WindowSpec {
    const char* caption;  // code page 936 bytes
    int outerWidth, outerHeight;
    int statusPartRightEdges[4];
    std::vector<ControlSpec> controls;  // in stacking order, the first on top
    Handler onCreated;
};

}  // namespace platform
