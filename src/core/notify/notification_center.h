// A notification center: named notifications with one payload object,
// delivered synchronously on the posting thread to every observer of that
// name, in the order the observers were added. The poster's call returns
// after every observer has run, so records reach an observer in posting order.
//
// Observers may be added or removed from any thread, also from inside an
// observer; a post delivers to the observers registered when it started.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace marlowen {

struct Notification {
    std::string name;
    std::any object;  // the payload; empty when the poster sent none
};

class NotificationCenter {
public:
    using Observer = std::function<void(const Notification&)>;
    using ObserverToken = std::uint64_t;

    // Registers `observer` for every notification called `name`.
    ObserverToken addObserver(std::string name, Observer observer);
    void removeObserver(ObserverToken token);

    void postNotificationName(std::string_view name, std::any object = {});

private:
    struct Entry {
        ObserverToken token;
        std::string name;
        std::shared_ptr<Observer> observer;
    };
    std::mutex mutex_;
    std::vector<Entry> entries_;
    ObserverToken nextToken_ = 1;
};

// Removes its observer when it goes out of scope.
class ScopedObserver {
public:
    ScopedObserver() = default;
    ScopedObserver(NotificationCenter& nc, std::string name, NotificationCenter::Observer observer)
        : nc_(&nc), token_(nc.addObserver(std::move(name), std::move(observer))) {}
    ScopedObserver(ScopedObserver&& other) noexcept : nc_(other.nc_), token_(other.token_) {
        other.nc_ = nullptr;
    }
    ScopedObserver& operator=(ScopedObserver&& other) noexcept;
    ScopedObserver(const ScopedObserver&) = delete;
    ScopedObserver& operator=(const ScopedObserver&) = delete;
    ~ScopedObserver();

private:
    NotificationCenter* nc_ = nullptr;
    NotificationCenter::ObserverToken token_ = 0;
};

}  // namespace marlowen
