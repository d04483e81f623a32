#include "engine/download.h"

#include <algorithm>
#include <mutex>

#include "engine/task.h"
#include "engine/tuning.h"
#include "engine/url.h"

namespace engine {
namespace {

std::mutex tuningMutex;
EngineTuning tuning;

}  // namespace

void SetEngineTuning(const EngineTuning& t) {
    std::lock_guard lock(tuningMutex);
    tuning = t;
}

EngineTuning GetEngineTuning() {
    std::lock_guard lock(tuningMutex);
    return tuning;
}

// The object's side of its one task. Called from one thread (the tool's UI thread).
class Download::Impl {
  public:
    ~Impl() {
        if (!task_)
            return;
        if (!task_->Ended())
            task_->Stop();
        // Connections see the stop within about 50 ms; the last of them ends the task.
        if (!task_->WaitFinished(task_->config().stopWait))
            task_->Detach();
    }

    bool Busy() const { return task_ && !task_->Ended(); }

    bool Add(const TaskParam& param) {
        if (Busy())
            return false;
        if (task_) {
            task_->WaitFinished(1000);  // ended: its thread is leaving its routine
            task_.reset();
        }
        if (!param.address || param.address->empty())
            return false;
        TaskConfig c;
        if (!ParseUrl(*param.address, &c.url))
            return false;
        c.targetPath = param.targetPath.value_or(std::string());
        c.referer = param.referer;
        if (param.proxy && !param.proxy->empty()) {
            Url proxy;
            if (!ParseUrl("http://" + *param.proxy + "/", &proxy))
                return false;
            c.proxy = proxy;
        }
        c.connections = std::clamp(param.connections, 1, 16);
        c.speedLimit = std::max(param.speedLimit, 0);
        c.connectTimeout = param.connectTimeout;
        c.sendTimeout = param.sendTimeout;
        c.receiveTimeout = param.receiveTimeout;
        c.stopWait = std::max(param.stopWait, 0);
        c.receiveBlock = param.receiveBlock <= 0 ? kReceiveBuffer
                                                 : std::min(static_cast<size_t>(param.receiveBlock), kReceiveBuffer);
        c.callback = param.eventCallback;
        EngineTuning t = GetEngineTuning();
        c.retryPauseMs = std::max(t.retryPauseMs, 0);
        c.maxRetries = std::max(t.maxRetries, 0);
        // Published before its thread starts: a short task can reach event 4, whose routine
        // asks GetDoneLength, before Start would have returned.
        task_ = std::make_shared<Task>(std::move(c));
        if (!task_->Start()) {
            task_.reset();
            return false;
        }
        return true;
    }

    int32_t Speed() { return Busy() ? task_->TakeSpeed() : 0; }
    int32_t Done() { return Busy() ? task_->DoneLength() : 0; }

  private:
    std::shared_ptr<Task> task_;
};

Download::Download() : impl_(std::make_unique<Impl>()) {}
Download::~Download() = default;

bool AddTask(Download& download, const TaskParam& param) {
    return download.impl().Add(param);
}
int32_t GetSpeed(Download& download) {
    return download.impl().Speed();
}
int32_t GetDoneLength(Download& download) {
    return download.impl().Done();
}
bool IsBusy(Download& download) {
    return download.impl().Busy();
}

}  // namespace engine
