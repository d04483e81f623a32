#include "download/download_task.h"
void OnDownload() {}
void StartDownload() {}
