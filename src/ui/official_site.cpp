#include "ui/official_site.h"

#include "platform/shell.h"
#include "ui/main_window_layout.h"

void OnOfficialSite() { platform::OpenUrl(SiteAddress("/")); }
