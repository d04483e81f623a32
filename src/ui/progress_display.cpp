#include "ui/progress_display.h"

#include <atomic>

#include "app/globals.h"
#include "engine/events.h"
#include "platform/ui_runtime.h"
#include "ui/controls.h"
#include "ui/message_box.h"
#include "ui/number_format.h"
#include "ui/texts.h"

namespace {

// What the tool learns about the running task, to tell its outcome at event 4. Written on
// the engine's threads; the task's events are delivered one after another.
std::atomic<int64_t> taskLength{-1};     // from event 3; -1 until it comes
std::atomic<bool> answeredNo{false};     // the user declined at event 18

enum class Outcome { Complete, Cancelled, Failed };

Outcome TaskOutcome() {
    if (answeredNo) return Outcome::Cancelled;
    const int64_t length = taskLength;
    if (length < 0 || !downloader) return Outcome::Failed;
    return engine::GetDoneLength(*downloader) >= length ? Outcome::Complete : Outcome::Failed;
}

int AskFileExists() {
    if (!platform::WindowAlive()) {
        answeredNo = true;  // the tool is closing: nobody to ask
        return 1;
    }
    if (ShowMessageBox(texts::kFileExists, 4) == kBoxYes) return 0;
    answeredNo = true;
    return 1;
}

void OnLengthKnown(int32_t length) {
    taskLength = length;
    fileSize = static_cast<double>(length);
    platform::StatusBarSetText(状态条1, 0, FormatKilo(fileSize) + "KB");
}

void OnTaskEnded() {
    const Outcome outcome = TaskOutcome();
    taskLength = -1;
    answeredNo = false;
    if (!platform::WindowAlive()) return;  // closed during the download: no window to tell
    switch (outcome) {
        case Outcome::Complete:
            ShowMessageBox(texts::kDownloadDone, 64, texts::kTitleHint);
            break;
        case Outcome::Cancelled:
            ShowMessageBox(texts::kDownloadCancelled, 64, texts::kTitleHint);
            break;
        case Outcome::Failed:
            ShowMessageBox(texts::kDownloadFailed, 48, texts::kTitleHint);
            break;
    }
    platform::SetTimerPeriod(时钟1, 0);
    for (int part = 0; part < 4; ++part) platform::StatusBarSetText(状态条1, part, "");
    platform::SetProgressPos(进度条1, 0);
}

}  // namespace

int32_t OnDownloadEvent(int32_t code, int32_t connection, int32_t value1, int32_t value2, int32_t task) {
    switch (code) {
        case engine::kEventFileExists:
            return AskFileExists();
        case engine::kEventLength:
            OnLengthKnown(value1);
            return 0;
        case engine::kEventTaskEnded:
            OnTaskEnded();
            return 0;
        default:
            return 0;
    }
}

void OnTimerTick() {
    const int32_t speed = engine::GetSpeed(*downloader);
    platform::StatusBarSetText(状态条1, 1, FormatKilo(speed) + texts::kPerSecond);

    const int32_t done = engine::GetDoneLength(*downloader);
    platform::SetProgressPos(进度条1, ProgressPosition(static_cast<double>(done), fileSize));

    const int32_t amount = engine::GetDoneLength(*downloader);
    platform::StatusBarSetText(状态条1, 2, FormatKilo(amount) + "KB");

    platform::StatusBarSetText(状态条1, 3, NumberToText(platform::GetProgressPos(进度条1)) + "%");
}
