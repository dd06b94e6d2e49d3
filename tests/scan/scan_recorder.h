// Test helper: records every scan notification in posting order.
#pragma once

#include <any>
#include <string>
#include <vector>

#include "core/model/record_nodes.h"
#include "core/notify/notification_center.h"
#include "core/notify/scan_notifications.h"

namespace marlowen::testing {

class ScanRecorder {
public:
    explicit ScanRecorder(NotificationCenter& nc) {
        for (const char* name :
             {kScanProgressInfo, kScanPhotoAndVideoInfo, kScanContactInfo, kScanMessageInfo,
              kScanCallHistoryInfo, kScanNoteInfo, kScanDelContactInfo, kScanDelMessageInfo,
              kScanDelNoteInfo, kScanDelCallHistoryInfo})
            observers_.emplace_back(nc, name,
                                    [this](const Notification& n) { posts.push_back(n); });
    }

    std::vector<int> progress() const {
        std::vector<int> out;
        for (const auto& n : posts)
            if (n.name == kScanProgressInfo) out.push_back(std::any_cast<int>(n.object));
        return out;
    }
    template <typename Node>
    std::vector<std::shared_ptr<Node>> nodes(const char* name) const {
        std::vector<std::shared_ptr<Node>> out;
        for (const auto& n : posts)
            if (n.name == name) out.push_back(std::any_cast<std::shared_ptr<Node>>(n.object));
        return out;
    }
    std::vector<std::string> paths() const {
        std::vector<std::string> out;
        for (const auto& n : posts)
            if (n.name == kScanPhotoAndVideoInfo)
                out.push_back(std::any_cast<std::string>(n.object));
        return out;
    }

    std::vector<Notification> posts;

private:
    std::vector<ScopedObserver> observers_;
};

}  // namespace marlowen::testing
