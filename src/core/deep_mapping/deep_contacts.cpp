// Deleted contacts: recovered ABPerson rows with the values of their
// record_id, and recovered ABMultiValue rows of live or lost persons.
#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "core/deep/person_rowids.h"
#include "core/deep_mapping/deep_records.h"
#include "core/extract/contacts_reader.h"

namespace marlowen::carve::deep {
namespace {

// ABMultiValue cells: record_id, property, value, UID, label.
constexpr const char* kValueColumns[] = {"record_id", "property", "value", "UID", "label"};

// Label texts by rowid (ABMultiValueLabel; labels are shared and rarely
// deleted, so the live table names recovered values' labels too).
using Labels = std::unordered_map<int64_t, std::string>;

struct Value {
    std::optional<int64_t> uid;
    Cells cells;
    uint32_t page = 0, offset = 0;  // where a recovered value was found
};

void appendValues(ZNContactNode& contact, const std::vector<Value>& values, const Labels& labels) {
    for (const Value& v : values) {
        const ValueRow row(v.cells);
        std::string label;
        if (const auto id = integerOf(v.cells[4]))
            if (auto it = labels.find(*id); it != labels.end()) label = it->second;
        appendContactValue(contact, row.integer(1), row.text(2), label);
    }
}

// The live reader's order within one owner is its index order, that is by
// UID. When a UID was lost, the order of insertion stands for it: a page
// fills from its end, so an earlier value stands further from the start.
void sortByUid(std::vector<Value>& values) {
    const bool allKnown =
        std::all_of(values.begin(), values.end(), [](const Value& v) { return v.uid.has_value(); });
    std::stable_sort(values.begin(), values.end(), [allKnown](const Value& a, const Value& b) {
        if (allKnown) return *a.uid < *b.uid;
        return a.page != b.page ? a.page < b.page : a.offset > b.offset;
    });
}

// A person's name parts as kPersonQueryColumns holds them.
constexpr size_t kNameCells[] = {1, 7, 10};  // First, Middle, Last

// What a recovered person's name parts say: a part past the record's cut
// is not known (its NULL says nothing); a part the cut went through is
// its first bytes, which name no one, so the name is not known at all.
struct NameParts {
    std::array<bool, 3> known{true, true, true};
    bool cutShort = false;
};

NameParts namePartsOf(const TableSchema& table, const Recovered& p) {
    NameParts out;
    if (!p.row->cutAt) return out;
    const size_t cut = *p.row->cutAt;
    for (size_t i = 0; i < 3; ++i) {
        const std::string_view name = kPersonQueryColumns[kNameCells[i]];
        for (size_t c = 0; c < table.columns.size(); ++c) {
            if (!sameName(table.columns[c].name, name) || c < cut) continue;
            if (c == cut && !isNull(p.cells[kNameCells[i]]))
                out.cutShort = true;
            else
                out.known[i] = false;
        }
    }
    return out;
}

std::string valueKey(int64_t owner, const Cells& cells) {
    std::string key = std::to_string(owner);
    key.append(1, '\x1f').append(textOf(cells[1])).append(1, '\x1f');
    if (isNull(cells[2])) return key.append(1, '0');
    return key.append(1, '1').append(textOf(cells[2]));
}

// The live address book: the persons, by row id and by what the intake
// compares, and their values.
struct LiveBook {
    std::unordered_map<int64_t, ContactNodePtr> persons;
    std::set<std::pair<std::string, std::string>> names;  // (name, company)
    // First name -> the live persons' (First, Middle, Last) and company.
    std::unordered_multimap<std::string, std::pair<std::array<std::string, 3>, std::string>> parts;
    std::unordered_map<int64_t, std::vector<Value>> values;  // by record_id, in UID order
    std::unordered_set<std::string> valueKeys;               // valueKey of each value
    std::unordered_map<int64_t, int64_t> valueOwners;        // UID -> record_id
    Labels labels;
};

LiveBook liveBookOf(const LiveRows& live) {
    LiveBook book;
    for (const Cells& cells : live("ABPerson", kPersonQueryColumns)) {
        const auto rowid = integerOf(cells[0]);
        ContactNodePtr node = contactFromRow(ValueRow(cells));
        book.names.emplace(node->contactName(), node->contactCompany());
        std::array<std::string, 3> parts;
        for (size_t i = 0; i < 3; ++i) parts[i] = textOf(cells[kNameCells[i]]);
        book.parts.emplace(parts[0], std::make_pair(parts, node->contactCompany()));
        if (rowid) book.persons.emplace(*rowid, std::move(node));
    }
    for (Cells& cells : live("ABMultiValue", kValueColumns)) {
        const auto owner = integerOf(cells[0]);
        if (!owner) continue;
        book.valueKeys.insert(valueKey(*owner, cells));
        const auto uid = integerOf(cells[3]);
        if (uid) book.valueOwners.emplace(*uid, *owner);
        book.values[*owner].push_back({uid, std::move(cells), 0, 0});
    }
    for (auto& [owner, values] : book.values) sortByUid(values);
    constexpr const char* kLabelColumns[] = {"ROWID", "value"};
    for (const Cells& cells : live("ABMultiValueLabel", kLabelColumns))
        if (const auto id = integerOf(cells[0]); id && !isNull(cells[1]))
            book.labels.emplace(*id, textOf(cells[1]));
    return book;
}

}  // namespace

std::vector<ContactNodePtr> deletedContacts(const DeepScanResult& found, const LiveRows& live,
                                            const PageReader* db, const PageReader* wal) {
    std::vector<ContactNodePtr> out;
    const TableSchema* personTable = tableNamed(found, "ABPerson");

    const LiveBook book = liveBookOf(live);
    const auto& livePersons = book.persons;
    const auto& liveNames = book.names;
    // A live person whose name agrees with every part of `p`'s name that
    // is known, and whose company is `company` (any, when `anyCompany`).
    const auto liveNameAgrees = [&](const Recovered& p, const NameParts& parts,
                                    const std::string& company, bool anyCompany) {
        if (!parts.known[0] || isNull(p.cells[kNameCells[0]])) return false;
        const auto [from, to] = book.parts.equal_range(textOf(p.cells[kNameCells[0]]));
        return std::any_of(from, to, [&](const auto& entry) {
            const auto& [liveName, liveCompany] = entry.second;
            for (size_t i = 1; i < 3; ++i)
                if (parts.known[i] && textOf(p.cells[kNameCells[i]]) != liveName[i]) return false;
            return anyCompany || liveCompany == company;
        });
    };
    const Labels& labels = book.labels;

    // Recovered values by owner. One that equals a live value of the same
    // owner, or has the UID of a live value of the same owner, is an old
    // copy of that value (a label or the value changed), not a deletion.
    std::map<int64_t, std::vector<Value>> recoveredValues;
    for (Recovered& r : recoveredRows(found, "ABMultiValue", kValueColumns)) {
        const auto owner = integerOf(r.cells[0]);
        if (!owner || isNull(r.cells[2]) || r.row->versionOf ||
            book.valueKeys.count(valueKey(*owner, r.cells)))
            continue;
        const auto uid = integerOf(r.cells[3]);
        if (auto l = uid ? book.valueOwners.find(*uid) : book.valueOwners.end();
            l != book.valueOwners.end() && l->second == *owner)
            continue;
        recoveredValues[*owner].push_back({uid, std::move(r.cells), r.row->page, r.row->offset});
    }
    for (auto& [owner, values] : recoveredValues) sortByUid(values);

    std::vector<Recovered> persons = personTable
                                         ? recoveredRows(found, "ABPerson", kPersonQueryColumns)
                                         : std::vector<Recovered>{};
    // An old copy of a live person (its rowid is live, or the scan found
    // it to be an earlier version of one) is not a deletion.
    dropOldCopies(persons);

    // Give persons whose rowid was lost the id of the values they own.
    std::set<int64_t> knownOwners;
    for (const Recovered& p : persons)
        if (auto rowid = integerOf(p.cells[0])) knownOwners.insert(*rowid);
    // Persons whose rowid was inferred from the cell order, not read.
    std::vector<bool> inferred(persons.size(), false);
    std::set<int64_t> orphans;
    for (const auto& [owner, values] : recoveredValues)
        if (!livePersons.count(owner) && !knownOwners.count(owner)) orphans.insert(owner);
    if (db && personTable && !orphans.empty()) {
        std::vector<PersonPlace> places;
        for (const Recovered& p : persons)
            places.push_back({p.row->page, p.row->offset, integerOf(p.cells[0]), p.row->kind});
        // Only a certain inference joins values to a person: one whose
        // gap between known ids leaves a single free id.
        std::set<int64_t> taken = knownOwners;
        for (const auto& [rowid, person] : livePersons) taken.insert(rowid);
        const std::vector<std::optional<int64_t>> given =
            inferLostRowids(*db, wal, personTable->rootPage, places, orphans, &taken);
        for (size_t i = 0; i < persons.size(); ++i)
            if (!places[i].rowid && given[i]) {
                persons[i].cells[0] = integerValue(*given[i]);
                inferred[i] = true;
            }
    }

    std::set<int64_t> claimed;
    for (size_t i = 0; i < persons.size(); ++i) {
        Recovered& p = persons[i];
        const NameParts parts = namePartsOf(*personTable, p);
        if (parts.cutShort)
            for (size_t c : kNameCells) p.cells[c] = SqlValue();
        ContactNodePtr node = contactFromRow(ValueRow(p.cells));
        const auto rowid = integerOf(p.cells[0]);
        // Cut in its name, a person without a rowid has nothing left to show.
        if (parts.cutShort && !rowid) continue;
        // Without a rowid of its own the only sign of an old copy of a live
        // person is its name: an id inferred from the cell order is free,
        // but the copy may have moved there from another row's place. A
        // copy that lost its tail lost its company and job title with it.
        const bool cutBeforeCompany = p.row->partial && node->contactCompany().empty();
        // liveNames is ordered by name first: a live person of this name
        // with any company is the first entry from (name, "") on.
        const auto sameName = liveNames.lower_bound({node->contactName(), std::string()});
        const bool liveNameOnly =
            sameName != liveNames.end() && sameName->first == node->contactName();
        // A name part the cut took is no difference.
        if ((!rowid || inferred[i]) &&
            (liveNames.count({node->contactName(), node->contactCompany()}) ||
             (cutBeforeCompany && liveNameOnly) ||
             liveNameAgrees(p, parts, node->contactCompany(), cutBeforeCompany)))
            continue;
        if (rowid) {
            claimed.insert(*rowid);
            if (auto it = book.values.find(*rowid); it != book.values.end())
                appendValues(*node, it->second, labels);
            if (auto it = recoveredValues.find(*rowid); it != recoveredValues.end())
                appendValues(*node, it->second, labels);
        }
        out.push_back(std::move(node));
    }
    // Deleted values of live persons, and values whose person is lost.
    for (const auto& [owner, values] : recoveredValues) {
        if (claimed.count(owner)) continue;
        auto node = std::make_shared<ZNContactNode>();
        if (auto it = livePersons.find(owner); it != livePersons.end()) {
            const ZNContactNode& person = *it->second;
            node->setContactName(person.contactName());
            node->setContactCompany(person.contactCompany());
            node->setContactNote(person.contactNote());
            node->setContactBirthday(person.contactBirthday());
        }
        node->setRowid(static_cast<int32_t>(owner));
        appendValues(*node, values, labels);
        out.push_back(std::move(node));
    }
    return out;
}

}  // namespace marlowen::carve::deep
