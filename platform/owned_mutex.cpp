#include "platform/owned_mutex.h"

#include <chrono>

int OwnedMutex::lock(int timeoutMs) {
    const auto me = std::this_thread::get_id();
    std::unique_lock<std::mutex> g(m_);
    if (depth_ > 0 && owner_ == me) {
        ++depth_;
        return 0;
    }
    auto free = [this] { return depth_ == 0; };
    if (timeoutMs < 0) {
        cv_.wait(g, free);
    } else if (!cv_.wait_for(g, std::chrono::milliseconds(timeoutMs), free)) {
        return 1;
    }
    owner_ = me;
    depth_ = 1;
    return 0;
}

bool OwnedMutex::unlock() {
    std::unique_lock<std::mutex> g(m_);
    if (depth_ == 0 || owner_ != std::this_thread::get_id()) return false;
    if (--depth_ == 0) {
        owner_ = std::thread::id{};
        g.unlock();
        cv_.notify_one();
    }
    return true;
}

bool OwnedMutex::heldByCaller() const {
    std::lock_guard<std::mutex> g(m_);
    return depth_ > 0 && owner_ == std::this_thread::get_id();
}

bool OwnedMutex::held() const {
    std::lock_guard<std::mutex> g(m_);
    return depth_ > 0;
}
