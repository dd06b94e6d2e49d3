#include "core/notify/notification_center.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace marlowen {
namespace {

TEST(NotificationCenter, DeliversByNameInRegistrationOrderOnThePostingThread) {
    NotificationCenter nc;
    std::vector<std::string> seen;
    std::thread::id observerThread;
    nc.addObserver("A", [&](const Notification& n) {
        seen.push_back("first:" + std::to_string(std::any_cast<int>(n.object)));
        observerThread = std::this_thread::get_id();
    });
    nc.addObserver("B", [&](const Notification&) { seen.push_back("B"); });
    nc.addObserver("A", [&](const Notification&) { seen.push_back("second"); });

    std::thread poster([&] { nc.postNotificationName("A", 7); });
    const auto posterId = poster.get_id();
    poster.join();

    EXPECT_EQ(seen, (std::vector<std::string>{"first:7", "second"}));
    EXPECT_EQ(observerThread, posterId);
}

TEST(NotificationCenter, ObserversMayRemoveThemselvesAndScopedObserversUnregister) {
    NotificationCenter nc;
    int calls = 0;
    NotificationCenter::ObserverToken token = 0;
    token = nc.addObserver("X", [&](const Notification&) {
        ++calls;
        nc.removeObserver(token);
    });
    nc.postNotificationName("X");
    nc.postNotificationName("X");
    EXPECT_EQ(calls, 1);

    int scoped = 0;
    {
        ScopedObserver o(nc, "Y", [&](const Notification&) { ++scoped; });
        nc.postNotificationName("Y");
    }
    nc.postNotificationName("Y");
    EXPECT_EQ(scoped, 1);
}

}  // namespace
}  // namespace marlowen
