// The one task record: created with the engine's defaults, its texts released in field order.
#pragma once

#include <memory>

#include "engine/task_param.h"

std::unique_ptr<engine::TaskParam> NewTaskParam();
void ReleaseTaskParam(engine::TaskParam& param);
