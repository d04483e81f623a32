// The main window's controls under their layout names, numbered in stacking order (the
// first on top). These are the ids of the layout table and of the platform's control
// operations.
#pragma once

enum Control : int {
    按钮4,
    按钮3,
    进度条1,
    状态条1,
    透明标签3,
    按钮2,
    编辑框3,
    通用对话框1,
    时钟1,
    透明标签2,
    透明标签1,
    编辑框2,
    按钮1,
    编辑框1,
    kControlCount
};
