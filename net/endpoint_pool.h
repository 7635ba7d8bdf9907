#pragma once
#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/owned_mutex.h"

// Resolved endpoints of one kind, kept for reuse. Endpoints are added and never
// removed, so a pointer to one stays good after the pool lock is let go. The pool
// lock is taken before an endpoint's own lock, never after.
// Endpoint: host(), port(), OwnedMutex* lock() and setAddress(in_addr).
template <class Endpoint>
class EndpointPool {
public:
    // Whether a claimed endpoint keeps the pool lock held until its claim ends, so
    // that requests on reused endpoints run one at a time.
    enum class PoolLock { ReleasedAtClaim, HeldAcrossRequest };

    explicit EndpointPool(PoolLock poolLock = PoolLock::ReleasedAtClaim)
        : holdLock_(poolLock == PoolLock::HeldAcrossRequest) {}
    EndpointPool(const EndpointPool&) = delete;
    EndpointPool& operator=(const EndpointPool&) = delete;

    // The use of one endpoint: its lock (and, with HeldAcrossRequest, the pool
    // lock) is held until the claim ends.
    class Claim {
    public:
        Claim() = default;
        Claim(Claim&& other) noexcept
            : endpoint_(std::exchange(other.endpoint_, nullptr)),
              poolLock_(std::exchange(other.poolLock_, nullptr)) {}
        Claim& operator=(Claim&&) = delete;
        ~Claim() {
            if (endpoint_) endpoint_->lock()->unlock();
            if (poolLock_) poolLock_->unlock();
        }
        Endpoint* get() const { return endpoint_; }
        Endpoint* operator->() const { return endpoint_; }
        explicit operator bool() const { return endpoint_ != nullptr; }

    private:
        friend class EndpointPool;
        Claim(Endpoint* endpoint, OwnedMutex* poolLock) : endpoint_(endpoint), poolLock_(poolLock) {}
        Endpoint* endpoint_ = nullptr;
        OwnedMutex* poolLock_ = nullptr;
    };

    // The first endpoint that could be try-locked and matches. Busy endpoints are
    // passed over, never waited for; those that do not match are let go at once.
    template <class Match>
    Claim claim(Match matches) {
        OwnedLock hold(lock_);
        for (const std::unique_ptr<Endpoint>& e : endpoints_) {
            if (e->lock()->lock(0) != 0) continue;
            if (matches(*e)) {
                if (holdLock_) lock_.lock(-1);  // one more hold, given back by the claim
                return Claim(e.get(), holdLock_ ? &lock_ : nullptr);
            }
            e->lock()->unlock();
        }
        return Claim();
    }

    // Adds an endpoint that nobody else knows yet; the pool owns it from now on.
    Endpoint* add(std::unique_ptr<Endpoint> endpoint) {
        OwnedLock hold(lock_);
        endpoints_.push_back(std::move(endpoint));
        return endpoints_.back().get();
    }

    // The endpoints at this moment, matching or all.
    template <class Match>
    std::vector<Endpoint*> matching(Match matches) const {
        OwnedLock hold(lock_);
        std::vector<Endpoint*> found;
        for (const std::unique_ptr<Endpoint>& e : endpoints_)
            if (matches(*e)) found.push_back(e.get());
        return found;
    }
    std::vector<Endpoint*> endpoints() const {
        return matching([](const Endpoint&) { return true; });
    }
    size_t size() const {
        OwnedLock hold(lock_);
        return endpoints_.size();
    }

    // Gives every endpoint of the host and port the address, waiting for those in
    // use; waiting for one must not hold up the whole pool.
    void readdress(const std::string& host, uint16_t port, in_addr ip) {
        const auto same = [&](const Endpoint& x) { return x.port() == port && host == x.host(); };
        for (Endpoint* e : matching(same)) {
            OwnedLock busy(*e->lock());
            e->setAddress(ip);
        }
    }

    OwnedMutex* lock() const { return &lock_; }

private:
    mutable OwnedMutex lock_;
    std::vector<std::unique_ptr<Endpoint>> endpoints_;
    const bool holdLock_;
};
