#pragma once
// Click on 按钮3: checks the folder box, then StartDownload.
void OnDownload();
// Fills taskParam, starts 时钟1 and hands the task to the downloader.
void StartDownload();
