// Knobs of the engine that the tool never changes; tests shorten the retry pause with them.
#pragma once

namespace engine {

struct EngineTuning {
    int retryPauseMs = 5000;  // before each retry of a failed connection, in 10 ms steps
    int maxRetries = 999;     // per connection, then it gives up with event 9
};

// Applies to tasks added afterwards; safe from any thread.
void SetEngineTuning(const EngineTuning& tuning);
EngineTuning GetEngineTuning();

}  // namespace engine
