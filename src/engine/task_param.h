// The task record of the download engine (the tool's one record is `taskParam`): twenty
// fields in a fixed order. A text field is either nothing (std::nullopt) or a text,
// which may be empty; the two are different values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace engine {

using OptText = std::optional<std::string>;

// (1) event code, (2) connection handle, (3) first value, (4) second value, (5) task handle.
using EventRoutine = int32_t (*)(int32_t code, int32_t connection, int32_t value1, int32_t value2, int32_t task);
using LogRoutine = void (*)(const char* line);

struct TaskParam {
    int32_t mode = 0;
    OptText address;
    OptText targetPath;
    OptText ftpUser;
    OptText ftpPassword;
    int32_t connections = 0;
    int32_t speedLimit = 0;
    int32_t connectTimeout = 0;
    int32_t sendTimeout = 0;
    int32_t receiveTimeout = 0;
    int32_t stopWait = 0;
    int32_t receiveBlock = 0;
    int32_t sendBlock = 0;
    LogRoutine logCallback = nullptr;
    EventRoutine eventCallback = nullptr;
    OptText uploadName;
    int32_t transferType = 0;
    OptText binaryTypes;
    OptText proxy;
    OptText referer;
};

}  // namespace engine
