#pragma once
#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

class Vigil;

// What the orders compare, read from a Vigil once. Check threads change a Vigil's
// status and times while a sort runs; a sort whose comparisons contradict each
// other may run past the ends of its range, so sorts compare these copies.
struct SortKey {
    std::string description;
    time_t lastChecked = 0;
    time_t lastChanged = 0;
    int status = 0;
    int kind = 0;

    static SortKey of(const Vigil& vigil);
};

// The five orders of the Vigil list. Descriptions compare byte by byte, case
// counts; the time orders put the newest first; every order but the description
// order falls back to the description on ties.
class SortOrder {
public:
    virtual ~SortOrder() = default;
    // Negative when a goes before b, 0 when they tie, positive otherwise.
    virtual int compareKeys(const SortKey& a, const SortKey& b) const = 0;
    int compare(const Vigil& a, const Vigil& b) const { return compareKeys(SortKey::of(a), SortKey::of(b)); }
};

class DescriptionOrder : public SortOrder {
public:
    int compareKeys(const SortKey& a, const SortKey& b) const override;
};

class LastCheckedOrder : public SortOrder {
public:
    int compareKeys(const SortKey& a, const SortKey& b) const override;
};

class LastChangedOrder : public SortOrder {
public:
    int compareKeys(const SortKey& a, const SortKey& b) const override;
};

class StatusOrder : public SortOrder {
public:
    int compareKeys(const SortKey& a, const SortKey& b) const override;
};

// By kind: Gopher, FTP, Web.
class KindOrder : public SortOrder {
public:
    int compareKeys(const SortKey& a, const SortKey& b) const override;
};

// The order of a Sort By command id (CommandId::SortBy...); null for any other id.
const SortOrder* sortOrderFor(int commandId);

// The positions of vigils in their sorted order (stable; null entries last), each
// Vigil's keys read once before sorting.
std::vector<size_t> sortedPositions(const std::vector<const Vigil*>& vigils, const SortOrder& order);

// Reorders the list under its lock by the order of a Sort By command, so
// that vigil.dat is written in the order the list shows. Empty entries go last.
// False (nothing changes) for any other id.
bool sortVigilList(int commandId);
