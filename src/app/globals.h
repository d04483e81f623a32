// The tool's global state. Each global lives from InitGlobals to ReleaseGlobals; the
// handlers reach them directly. Texts are code page 936 bytes; an empty std::string is
// "holds nothing", which every reader takes as the empty text.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "engine/download.h"
#include "engine/task_param.h"

extern std::string pageText;
extern std::string trackId;
extern std::string savePath;
extern std::unique_ptr<engine::TaskParam> taskParam;
extern std::unique_ptr<engine::Download> downloader;
// Written at event 3 on an engine thread, read by every tick on the UI thread: atomic, so
// a tick sees the old or the new value, never a mixture.
extern std::atomic<double> fileSize;

void InitGlobals();
void ReleaseGlobals();
