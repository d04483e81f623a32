#include "app/globals.h"

#include "download/task_record.h"

std::string pageText;
std::string trackId;
std::string savePath;
std::unique_ptr<engine::TaskParam> taskParam;
std::unique_ptr<engine::Download> downloader;
std::atomic<double> fileSize{0.0};

void InitGlobals() {
    taskParam = NewTaskParam();
    downloader = std::make_unique<engine::Download>();
}

void ReleaseGlobals() {
    pageText.clear();
    pageText.shrink_to_fit();
    trackId.clear();
    trackId.shrink_to_fit();
    if (taskParam) ReleaseTaskParam(*taskParam);
    taskParam.reset();
    savePath.clear();
    savePath.shrink_to_fit();
    // Stops a running task within its stopWait; no event reaches the tool afterwards. The
    // global keeps pointing at the object until its destruction has returned, because the
    // engine may still be inside a call of the tool while it stops.
    delete downloader.get();
    (void)downloader.release();
}
