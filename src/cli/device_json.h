// The JSON form of one backup, shared by every verb that prints backups.
// Keys are the node's field names; bEncrypted is a JSON Boolean, every other
// field a string. The device facts follow: productType, modelName,
// backupSizeOnDisk (a number of bytes), lastBackupDate (ISO 8601 UTC, or
// null) and layout ("flat", "mbdb", "manifest-db"). Dump with
// error_handler_t::replace: names and paths are raw bytes and need not be
// UTF-8.
#pragma once

#include <nlohmann/json.hpp>

#include "core/discovery/device_node.h"

namespace marlowen::cli {

nlohmann::json deviceNodeToJson(const ZNIOSDeviceNode& node);

}  // namespace marlowen::cli
