#include "core/vigil_list.h"

#include <algorithm>

#include "core/vigil.h"

VigilList::Vigils VigilList::snapshot() const {
    OwnedLock hold(lock_);
    return vigils_;
}

size_t VigilList::size() const {
    OwnedLock hold(lock_);
    return vigils_.size();
}

std::shared_ptr<Vigil> VigilList::find(int identifier) const {
    OwnedLock hold(lock_);
    for (const std::shared_ptr<Vigil>& vigil : vigils_)
        if (vigil && vigil->id() == identifier) return vigil;
    return nullptr;
}

std::shared_ptr<Vigil> VigilList::at(long position) const {
    OwnedLock hold(lock_);
    if (position < 0 || static_cast<size_t>(position) >= vigils_.size()) return nullptr;
    return vigils_[static_cast<size_t>(position)];
}

long VigilList::position(const std::shared_ptr<Vigil>& vigil) const {
    OwnedLock hold(lock_);
    for (size_t i = vigils_.size(); i-- > 0;)
        if (vigils_[i] == vigil) return static_cast<long>(i);
    return -1;
}

int VigilList::append(std::shared_ptr<Vigil> vigil) {
    OwnedLock hold(lock_);
    vigils_.push_back(std::move(vigil));
    return static_cast<int>(vigils_.size()) - 1;
}

std::shared_ptr<Vigil> VigilList::remove(int identifier) {
    OwnedLock hold(lock_);
    const auto found = std::find_if(vigils_.begin(), vigils_.end(), [identifier](const std::shared_ptr<Vigil>& v) {
        return v && v->id() == identifier;
    });
    if (found == vigils_.end()) return nullptr;
    const std::shared_ptr<Vigil> before = found == vigils_.begin() ? nullptr : *(found - 1);
    for (KeptLine& line : kept_) {
        if (line.atTop || line.after.lock() != *found) continue;
        line.atTop = !before;
        line.after = before;
    }
    std::shared_ptr<Vigil> removed = std::move(*found);
    vigils_.erase(found);
    return removed;
}

void VigilList::reorder(const std::function<std::vector<size_t>(const std::vector<const Vigil*>&)>& order) {
    OwnedLock hold(lock_);
    std::vector<const Vigil*> vigils;
    vigils.reserve(vigils_.size());
    for (const std::shared_ptr<Vigil>& vigil : vigils_) vigils.push_back(vigil.get());
    Vigils sorted;
    sorted.reserve(vigils_.size());
    for (size_t position : order(vigils)) sorted.push_back(std::move(vigils_[position]));
    vigils_ = std::move(sorted);
}

void VigilList::keep(KeptLine line) {
    OwnedLock hold(lock_);
    line.atTop = vigils_.empty();
    line.after = line.atTop ? std::weak_ptr<Vigil>() : vigils_.back();
    kept_.push_back(std::move(line));
}

VigilList::KeptLines VigilList::keptLines() const {
    OwnedLock hold(lock_);
    return kept_;
}

void VigilList::clear() {
    OwnedLock hold(lock_);
    vigils_.clear();
    kept_.clear();
}

void VigilList::keepFileUnsaved(const std::string& path) {
    OwnedLock hold(lock_);
    unsavedFiles_.insert(path);
}

bool VigilList::keepsFileUnsaved(const std::string& path) const {
    OwnedLock hold(lock_);
    return unsavedFiles_.count(path) > 0;
}

VigilList& vigilList() {
    static VigilList& list = *new VigilList;
    return list;
}
