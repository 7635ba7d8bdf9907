#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "platform/owned_mutex.h"

class Vigil;

// The Vigils in display order (also the order of vigil.dat), with the lock that
// guards them. A Vigil taken out of the list stays alive for as long as a
// running check still holds it. Lock order: the list before the time lock.
class VigilList {
public:
    using Vigils = std::vector<std::shared_ptr<Vigil>>;

    VigilList() = default;
    VigilList(const VigilList&) = delete;
    VigilList& operator=(const VigilList&) = delete;

    // A copy, for walks that must not hold the lock.
    Vigils snapshot() const;
    size_t size() const;
    // The first Vigil with this identifier, or null.
    std::shared_ptr<Vigil> find(int identifier) const;
    // The Vigil at a position, or null past the end.
    std::shared_ptr<Vigil> at(long position) const;
    // Where a Vigil stands (its last place); -1 when it is not there.
    long position(const std::shared_ptr<Vigil>& vigil) const;
    // Appends at the end; the Vigil's position there.
    int append(std::shared_ptr<Vigil> vigil);
    // Takes the first Vigil with this identifier out; it, or null.
    std::shared_ptr<Vigil> remove(int identifier);
    // Puts the Vigils in the order of the positions that order gives for them.
    void reorder(const std::function<std::vector<size_t>(const std::vector<const Vigil*>&)>& order);
    void clear();

    // Holds the lock for several steps; vigils() may be read or changed meanwhile.
    class Hold {
    public:
        explicit Hold(VigilList& list) : list_(list), lock_(list.lock_) {}
        Vigils& vigils() { return list_.vigils_; }

    private:
        VigilList& list_;
        OwnedLock lock_;
    };

private:
    mutable OwnedMutex lock_;
    Vigils vigils_;
};

// The program's one list; never destroyed, as detached checks may reach it at exit.
VigilList& vigilList();
