// What the parts of the Win32 window runtime share: which thread is the UI thread.
#pragma once

namespace platform::win32 {

// The thread that called RunApplication (or, without it, the first caller of SetUpRuntime).
bool OnUiThread();

}  // namespace platform::win32
