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
// lock is held only to find, add or claim an endpoint, never across a request, and
// is taken before an endpoint's own lock, never after; an endpoint's lock is
// waited for only with the pool lock let go.
// Endpoint: host(), port(), OwnedMutex* lock() and setAddress(in_addr).
template <class Endpoint>
class EndpointPool {
public:
    // What a claim does with a matching endpoint in use: pass it over (a new
    // endpoint of the same host then runs beside it), or wait for it, so that the
    // requests to one host and port run one at a time.
    enum class WhenBusy { PassOver, WaitForIt };

    explicit EndpointPool(WhenBusy whenBusy = WhenBusy::PassOver)
        : waitForBusy_(whenBusy == WhenBusy::WaitForIt) {}
    EndpointPool(const EndpointPool&) = delete;
    EndpointPool& operator=(const EndpointPool&) = delete;

    // The use of one endpoint: its lock is held until the claim ends.
    class Claim {
    public:
        Claim() = default;
        Claim(Claim&& other) noexcept : endpoint_(std::exchange(other.endpoint_, nullptr)) {}
        Claim& operator=(Claim&&) = delete;
        ~Claim() {
            if (endpoint_) endpoint_->lock()->unlock();
        }
        Endpoint* get() const { return endpoint_; }
        Endpoint* operator->() const { return endpoint_; }
        explicit operator bool() const { return endpoint_ != nullptr; }

    private:
        friend class EndpointPool;
        explicit Claim(Endpoint* endpoint) : endpoint_(endpoint) {}
        Endpoint* endpoint_ = nullptr;
    };

    bool waitsForBusy() const { return waitForBusy_; }

    // The first matching endpoint. Passing busy ones over, those that do not
    // match are let go at once; waiting, the first match is waited for.
    template <class Match>
    Claim claim(Match matches) {
        if (waitForBusy_) return waitFor(find(matches));
        OwnedLock hold(lock_);
        for (const std::unique_ptr<Endpoint>& e : endpoints_) {
            if (e->lock()->lock(0) != 0) continue;
            if (matches(*e)) return Claim(e.get());
            e->lock()->unlock();
        }
        return Claim();
    }

    // Waiting pools: claims the endpoint that matches, or adds and claims the
    // fresh one when none does yet (two first requests to a host share one).
    template <class Match>
    Claim claimOrAdd(std::unique_ptr<Endpoint> fresh, Match matches) {
        Endpoint* found = nullptr;
        {
            OwnedLock hold(lock_);
            found = findHeld(matches);
            if (!found) {
                fresh->lock()->lock(-1);  // nobody else knows it yet: never waits
                endpoints_.push_back(std::move(fresh));
                return Claim(endpoints_.back().get());
            }
        }
        return waitFor(found);
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
    template <class Match>
    Endpoint* findHeld(Match& matches) const {
        for (const std::unique_ptr<Endpoint>& e : endpoints_)
            if (matches(*e)) return e.get();
        return nullptr;
    }
    template <class Match>
    Endpoint* find(Match& matches) const {
        OwnedLock hold(lock_);
        return findHeld(matches);
    }
    static Claim waitFor(Endpoint* endpoint) {
        if (!endpoint) return Claim();
        endpoint->lock()->lock(-1);
        return Claim(endpoint);
    }

    mutable OwnedMutex lock_;
    std::vector<std::unique_ptr<Endpoint>> endpoints_;
    const bool waitForBusy_;
};
