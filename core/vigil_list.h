#pragma once
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/owned_mutex.h"

class Vigil;

// The Vigils in display order (also the order of vigil.dat), with the lock that
// guards them. A Vigil taken out of the list stays alive for as long as a
// running check still holds it. Lock order: the list before the time lock.
class VigilList {
public:
    using Vigils = std::vector<std::shared_ptr<Vigil>>;

    // A record line of the file that makes no Vigil (a kind this version does not
    // know, no host): kept as it was read and written back in its place, after
    // the Vigil it followed.
    struct KeptLine {
        std::string text;       // without its line end
        size_t lineNumber = 0;  // in the file it was read from
        std::string why;        // why it makes no Vigil, for the user
        bool atTop = true;      // before every Vigil
        std::weak_ptr<Vigil> after;
    };
    using KeptLines = std::vector<KeptLine>;

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
    // Takes the first Vigil with this identifier out; it, or null. Lines kept
    // after it move up to the Vigil before it.
    std::shared_ptr<Vigil> remove(int identifier);
    // Keeps a line after the last Vigil appended so far.
    void keep(KeptLine line);
    KeptLines keptLines() const;
    // Puts the Vigils in the order of the positions that order gives for them.
    void reorder(const std::function<std::vector<size_t>(const std::vector<const Vigil*>&)>& order);
    void clear();  // the Vigils and the kept lines

    // A file that a load into this list could not read whole: the list lacks
    // some of what it holds, so it is never saved over from this list.
    void keepFileUnsaved(const std::string& path);
    bool keepsFileUnsaved(const std::string& path) const;

    // Whether the last load into this list read text that is not UTF-8 (a Windows
    // 8-bit code page): new text for the list is then best written the same way.
    void setEightBitText(bool eightBit) { eightBitText_ = eightBit; }
    bool eightBitText() const { return eightBitText_; }

    // Holds the lock for several steps; vigils() may be read or changed meanwhile.
    class Hold {
    public:
        explicit Hold(VigilList& list) : list_(list), lock_(list.lock_) {}
        Vigils& vigils() { return list_.vigils_; }
        const KeptLines& kept() const { return list_.kept_; }

    private:
        VigilList& list_;
        OwnedLock lock_;
    };

private:
    mutable OwnedMutex lock_;
    Vigils vigils_;
    KeptLines kept_;
    std::set<std::string> unsavedFiles_;
    std::atomic<bool> eightBitText_{false};
};

// The program's one list; never destroyed, as detached checks may reach it at exit.
VigilList& vigilList();
