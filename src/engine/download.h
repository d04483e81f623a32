// The download engine's object: holds at most one task, fetched over up to `connections`
// connections, each on a worker thread of its own, with events delivered by the task's
// thread (see events.h for the codes).
//
// Threads: AddTask, GetSpeed, GetDoneLength and the destructor are called from one
// thread (the tool's UI thread); the event routine is called on the engine's threads.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/task_param.h"

namespace engine {

struct EngineTuning;  // test-only knobs, see tuning.h

class Download {
  public:
    Download();
    // Tells a running task to stop, waits at most its stopWait, and from then on never
    // calls the tool's routines nor touches this object or the record again.
    ~Download();
    Download(const Download&) = delete;
    Download& operator=(const Download&) = delete;

    class Impl;
    Impl& impl() { return *impl_; }

  private:
    std::unique_ptr<Impl> impl_;
};

// Copies what it needs from the record and starts the task's thread; returns at once.
// False, doing nothing, when the object holds a task already, the address is empty, of
// an unknown scheme or without a "/" after its host, or the thread cannot start.
bool AddTask(Download& download, const TaskParam& param);

// Bytes received since the previous call (read and restart in one step); 0 without a task.
int32_t GetSpeed(Download& download);

// Bytes of the file received so far; 0 without a task.
int32_t GetDoneLength(Download& download);

// Whether the object holds a task: from a successful AddTask until the call for the
// task's event 4 has returned.
bool IsBusy(Download& download);

}  // namespace engine
