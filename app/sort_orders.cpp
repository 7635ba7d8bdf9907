#include "app/sort_orders.h"

#include <algorithm>
#include <memory>
#include <numeric>
#include <optional>

#include "app/command_ids.h"
#include "core/vigil.h"
#include "core/vigil_list.h"

namespace {

const DescriptionOrder descriptionOrder;
const LastCheckedOrder lastCheckedOrder;
const LastChangedOrder lastChangedOrder;
const StatusOrder statusOrder;
const KindOrder kindOrder;

int byDescription(const SortKey& a, const SortKey& b) {
    // std::string compares its bytes as unsigned, as strcmp does.
    const int c = a.description.compare(b.description);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int newestFirst(time_t a, time_t b) {
    return a < b ? 1 : -1;
}

}  // namespace

SortKey SortKey::of(const Vigil& vigil) {
    return SortKey{vigil.description(), vigil.lastChecked(), vigil.lastChanged(), vigil.status(), vigil.kind()};
}

int DescriptionOrder::compareKeys(const SortKey& a, const SortKey& b) const {
    return byDescription(a, b);
}

int LastCheckedOrder::compareKeys(const SortKey& a, const SortKey& b) const {
    return a.lastChecked != b.lastChecked ? newestFirst(a.lastChecked, b.lastChecked) : byDescription(a, b);
}

int LastChangedOrder::compareKeys(const SortKey& a, const SortKey& b) const {
    return a.lastChanged != b.lastChanged ? newestFirst(a.lastChanged, b.lastChanged) : byDescription(a, b);
}

int StatusOrder::compareKeys(const SortKey& a, const SortKey& b) const {
    return a.status != b.status ? a.status - b.status : byDescription(a, b);
}

int KindOrder::compareKeys(const SortKey& a, const SortKey& b) const {
    return a.kind != b.kind ? a.kind - b.kind : byDescription(a, b);
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

std::vector<size_t> sortedPositions(const std::vector<const Vigil*>& vigils, const SortOrder& order) {
    std::vector<std::optional<SortKey>> keys;
    keys.reserve(vigils.size());
    for (const Vigil* vigil : vigils) keys.push_back(vigil ? std::optional<SortKey>(SortKey::of(*vigil)) : std::nullopt);
    std::vector<size_t> positions(vigils.size());
    std::iota(positions.begin(), positions.end(), size_t{0});
    std::stable_sort(positions.begin(), positions.end(), [&keys, &order](size_t a, size_t b) {
        if (!keys[a] || !keys[b]) return keys[a] && !keys[b];
        return order.compareKeys(*keys[a], *keys[b]) < 0;
    });
    return positions;
}

bool sortVigilList(int commandId) {
    const SortOrder* order = sortOrderFor(commandId);
    if (!order) return false;
    vigilList().reorder([order](const std::vector<const Vigil*>& vigils) { return sortedPositions(vigils, *order); });
    return true;
}
