#pragma once

class Vigil;

// The five orders of the Vigil list. Descriptions compare byte by byte, case
// counts; the time orders put the newest first; every order but the description
// order falls back to the description on ties.
class SortOrder {
public:
    virtual ~SortOrder() = default;
    // Negative when a goes before b, 0 when they tie, positive otherwise.
    virtual int compare(const Vigil& a, const Vigil& b) const = 0;
};

class DescriptionOrder : public SortOrder {
public:
    int compare(const Vigil& a, const Vigil& b) const override;
};

class LastCheckedOrder : public SortOrder {
public:
    int compare(const Vigil& a, const Vigil& b) const override;
};

class LastChangedOrder : public SortOrder {
public:
    int compare(const Vigil& a, const Vigil& b) const override;
};

class StatusOrder : public SortOrder {
public:
    int compare(const Vigil& a, const Vigil& b) const override;
};

// By kind: Gopher, FTP, Web.
class KindOrder : public SortOrder {
public:
    int compare(const Vigil& a, const Vigil& b) const override;
};

// The order of a Sort By command id (CommandId::SortBy...); null for any other id.
const SortOrder* sortOrderFor(int commandId);

// The same orders as plain orderings: true when a goes before b.
bool compareByDescription(const Vigil& a, const Vigil& b);
bool compareByLastChecked(const Vigil& a, const Vigil& b);
bool compareByLastChanged(const Vigil& a, const Vigil& b);
bool compareByStatus(const Vigil& a, const Vigil& b);
bool compareByKind(const Vigil& a, const Vigil& b);

// Reorders vigilList under vigilListLock by the order of a Sort By command, so
// that vigil.dat is written in the order the list shows. Empty entries go last.
// False (nothing changes) for any other id.
bool sortVigilList(int commandId);
