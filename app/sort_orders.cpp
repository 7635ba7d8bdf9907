#include "app/sort_orders.h"

#include <algorithm>

#include "app/command_ids.h"
#include "core/locks.h"
#include "core/vigil.h"

namespace {

const DescriptionOrder descriptionOrder;
const LastCheckedOrder lastCheckedOrder;
const LastChangedOrder lastChangedOrder;
const StatusOrder statusOrder;
const KindOrder kindOrder;

int byDescription(const Vigil& a, const Vigil& b) {
    // std::string compares its bytes as unsigned, as strcmp does.
    const int c = a.description().compare(b.description());
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int newestFirst(time_t a, time_t b) {
    return a < b ? 1 : -1;
}

}  // namespace

int DescriptionOrder::compare(const Vigil& a, const Vigil& b) const {
    return byDescription(a, b);
}

int LastCheckedOrder::compare(const Vigil& a, const Vigil& b) const {
    const time_t ta = a.lastChecked(), tb = b.lastChecked();
    return ta != tb ? newestFirst(ta, tb) : byDescription(a, b);
}

int LastChangedOrder::compare(const Vigil& a, const Vigil& b) const {
    const time_t ta = a.lastChanged(), tb = b.lastChanged();
    return ta != tb ? newestFirst(ta, tb) : byDescription(a, b);
}

int StatusOrder::compare(const Vigil& a, const Vigil& b) const {
    const int sa = a.status(), sb = b.status();
    return sa != sb ? sa - sb : byDescription(a, b);
}

int KindOrder::compare(const Vigil& a, const Vigil& b) const {
    const int ka = a.kind(), kb = b.kind();
    return ka != kb ? ka - kb : byDescription(a, b);
}

const SortOrder* sortOrderFor(int commandId) {
    switch (commandId) {
        case CommandId::SortByDescription: return &descriptionOrder;
        case CommandId::SortByLastChecked: return &lastCheckedOrder;
        case CommandId::SortByLastChanged: return &lastChangedOrder;
        case CommandId::SortByStatus: return &statusOrder;
        case CommandId::SortByType: return &kindOrder;
        default: return nullptr;
    }
}

bool compareByDescription(const Vigil& a, const Vigil& b) { return descriptionOrder.compare(a, b) < 0; }
bool compareByLastChecked(const Vigil& a, const Vigil& b) { return lastCheckedOrder.compare(a, b) < 0; }
bool compareByLastChanged(const Vigil& a, const Vigil& b) { return lastChangedOrder.compare(a, b) < 0; }
bool compareByStatus(const Vigil& a, const Vigil& b) { return statusOrder.compare(a, b) < 0; }
bool compareByKind(const Vigil& a, const Vigil& b) { return kindOrder.compare(a, b) < 0; }

bool sortVigilList(int commandId) {
    const SortOrder* order = sortOrderFor(commandId);
    if (!order) return false;
    lockMutex(vigilListLock, -1);
    std::stable_sort(vigilList.begin(), vigilList.end(),
                     [order](const std::shared_ptr<Vigil>& a, const std::shared_ptr<Vigil>& b) {
                         if (!a || !b) return a && !b;
                         return order->compare(*a, *b) < 0;
                     });
    unlockMutex(vigilListLock);
    return true;
}
