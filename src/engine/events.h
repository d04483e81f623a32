// Event codes of the engine (values in bytes).
#pragma once

namespace engine {

enum EventCode : int {
    kEventLength = 3,            // (3) length of the remote file; once, after the file is created
    kEventTaskEnded = 4,         // (3) length as far as known; always the last call of a task
    kEventWorkerStarted = 5,     //
    kEventFirstBlock = 6,        // (3) start offset, (4) end offset of the block (one past its last byte)
    kEventNextBlock = 7,         // (3) start offset, (4) end offset of the block
    kEventConnectionDone = 8,    // (3) offset reached
    kEventConnectionFailed = 9,  // (3) offset reached, 0 when it had no block
    kEventData = 16,             // (3) bytes just received
    kEventFileExists = 18,       // (3) local length, (4) remote length; answer 0 new name, 2 go on, else abandon
};

}  // namespace engine
