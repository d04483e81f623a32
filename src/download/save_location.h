#pragma once
// Click on 按钮2: the file name from the address, a folder from the picker, savePath.
void OnBrowse();
