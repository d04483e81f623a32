#include "download/download_task.h"

#include "app/globals.h"
#include "engine/download.h"
#include "platform/ui_runtime.h"
#include "ui/controls.h"
#include "ui/message_box.h"
#include "ui/progress_display.h"
#include "ui/texts.h"

void OnDownload() {
    if (platform::GetControlText(编辑框3).empty()) {
        ShowMessageBox(texts::kChooseSaveLocation, 0, texts::kTitleHint);
        return;
    }
    StartDownload();
}

void StartDownload() {
    engine::TaskParam& p = *taskParam;
    p.mode = 4096;
    p.connections = 5;
    p.stopWait = 1000;
    p.connectTimeout = 5000;
    p.sendTimeout = 5001;
    p.receiveTimeout = 10000;
    p.receiveBlock = 10240;
    p.eventCallback = OnDownloadEvent;

    // Started here, so the display runs also when the engine refuses the task.
    platform::SetTimerPeriod(时钟1, 1000);

    p.address = platform::GetControlText(编辑框2);
    p.targetPath = savePath;

    engine::AddTask(*downloader, p);
}
