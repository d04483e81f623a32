// The engine's events and the once-a-second display of size, speed, amount and percentage.
#pragma once

#include <cstdint>

// Runs on the engine's threads, never on the UI thread.
int32_t OnDownloadEvent(int32_t code, int32_t connection, int32_t value1, int32_t value2, int32_t task);

// The periodic handler of 时钟1, on the UI thread.
void OnTimerTick();
