// The main window as data: caption, size, status-bar parts, and every control in stacking
// order with its place, text, colours and the handler bound to it.
#pragma once

#include <string>

#include "platform/window_layout.h"

const platform::WindowSpec& MainWindowLayout();

// "http://" + the site's page host + path.
std::string SiteAddress(const char* path);
