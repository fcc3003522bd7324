// The uninstaller's removal with every step logged, in the lines of the setup's logging
// wrappers (payload/logging_wrappers.h): "delete <path>: <result>", "remove folder <path>:
// <result>", "delete <path> at the next restart: <result>". Each line names the whole path,
// built from the paths of the folders opened through the wrapper.
#pragma once

#include <memory>

#include "system/log.h"
#include "uninstall/uninstall_logic.h"

namespace corvane {

std::unique_ptr<RemovalFileSystem> MakeLoggingRemoval(RemovalFileSystem& inner, SetupLog& log);

}  // namespace corvane
