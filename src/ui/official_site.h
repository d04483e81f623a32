#pragma once
// Click on 按钮4: the site's home page in the default browser.
void OnOfficialSite();
