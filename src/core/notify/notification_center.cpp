#include "core/notify/notification_center.h"

#include <algorithm>

namespace marlowen {

NotificationCenter::ObserverToken NotificationCenter::addObserver(std::string name,
                                                                  Observer observer) {
    std::lock_guard<std::mutex> lock(mutex_);
    const ObserverToken token = nextToken_++;
    entries_.push_back({token, std::move(name), std::make_shared<Observer>(std::move(observer))});
    return token;
}

void NotificationCenter::removeObserver(ObserverToken token) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(entries_, [token](const Entry& e) { return e.token == token; });
}

void NotificationCenter::postNotificationName(std::string_view name, std::any object) {
    // Copy the matching observers first so an observer may add or remove
    // observers (or post) without deadlocking on the registry lock.
    std::vector<std::shared_ptr<Observer>> targets;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const Entry& e : entries_)
            if (e.name == name) targets.push_back(e.observer);
    }
    if (targets.empty()) return;
    const Notification note{std::string(name), std::move(object)};
    for (const auto& observer : targets) (*observer)(note);
}

ScopedObserver& ScopedObserver::operator=(ScopedObserver&& other) noexcept {
    if (this != &other) {
        if (nc_) nc_->removeObserver(token_);
        nc_ = other.nc_;
        token_ = other.token_;
        other.nc_ = nullptr;
    }
    return *this;
}

ScopedObserver::~ScopedObserver() {
    if (nc_) nc_->removeObserver(token_);
}

}  // namespace marlowen
