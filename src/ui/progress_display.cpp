#include "ui/progress_display.h"
int32_t OnDownloadEvent(int32_t, int32_t, int32_t, int32_t, int32_t) { return 0; }
void OnTimerTick() {}
