#include "cli/device_json.h"

#include <ctime>

namespace marlowen::cli {
namespace {

// "2013-03-02T14:22:11Z".
std::string isoUtc(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    if (!gmtime_r(&t, &utc)) return {};
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

}  // namespace

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
        {"productType", node.productType()},
        {"modelName", node.modelName()},
        {"backupSizeOnDisk", node.backupSizeOnDisk()},
        {"lastBackupDate", node.lastBackupDate() ? nlohmann::json(isoUtc(*node.lastBackupDate()))
                                                 : nlohmann::json(nullptr)},
        {"layout", layoutName(node.backupLayout())},
    };
}

}  // namespace marlowen::cli
