// Placeholder until the engine lands: an object that never holds a task.
#include "engine/download.h"

namespace engine {

class Download::Impl {};

Download::Download() : impl_(std::make_unique<Impl>()) {}
Download::~Download() = default;

bool AddTask(Download&, const TaskParam&) { return false; }
int32_t GetSpeed(Download&) { return 0; }
int32_t GetDoneLength(Download&) { return 0; }

}  // namespace engine
