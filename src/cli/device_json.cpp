#include "cli/device_json.h"

namespace marlowen::cli {

nlohmann::json deviceNodeToJson(const ZNIOSDeviceNode& node) {
    return {
        {"strDeviceName", node.strDeviceName()},
        {"strDeviceSize", node.strDeviceSize()},
        {"strDeviceBackUpTime", node.strDeviceBackUpTime()},
        {"strDeviceSerial", node.strDeviceSerial()},
        {"strDeviceType", node.strDeviceType()},
        {"strIOSVersion", node.strIOSVersion()},
        {"itunesVersion", node.itunesVersion()},
        {"backUpFilePath", node.backUpFilePath()},
        {"bEncrypted", node.bEncrypted()},
        {"deviceImage", node.deviceImage()},
    };
}

}  // namespace marlowen::cli
