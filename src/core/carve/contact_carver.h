// The deleted-contact carver: finds person and multi-value records left in
// the raw pages of the backup's address book, attaches the phone numbers,
// e-mail and web addresses to the persons with the same row id, and posts
// each person as a deleted contact.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/carve/carve_budget.h"
#include "core/carve/page_tests.h"
#include "core/extract/reader_context.h"
#include "core/model/record_nodes.h"
#include "core/sqlite/page_reader.h"

namespace marlowen {

// Carves the contacts database of the backup at `backupPath` (the file the
// live contacts reader reads, as ctx.prepare answers it): every carved
// person is appended to ctx.arrays.delContactArray, every carved
// multi-value to ctx.arrays.delContactValueArray, and after the walk each
// person, with its values attached, is posted as "ScanDelContactInfo";
// then 75 is posted as "ScanProgressInfo".
// Returns without posting anything when the path is empty, the database is
// missing ("contactDB is not exist" is logged) or cannot be opened. A file
// whose header holds a damaged page size is logged and carves nothing, but
// still posts 75.
void scanDelContactThread(const std::string& backupPath, ReaderContext& ctx);

namespace carve {

struct ContactCarveOutcome {
    DatabasePageSize pageSize;
    bool stoppedAtBudget = false;  // the walk ended early: see kDefaultCarveBudget
};

// Walks the pages of `db` from the last to page 1, searching the table leaf
// pages whose first cell passes the person or the multi-value gate, and
// appends every carved person to `contacts` and every carved multi-value to
// `values`, in the order found. `budget` is lowered by what was added.
// `shouldStop`, when set, is asked between pages; true ends the walk.
ContactCarveOutcome carveDeletedContacts(const PageReader& db,
                                         std::vector<ContactNodePtr>& contacts,
                                         std::vector<DelContactValuePtr>& values, size_t& budget,
                                         const std::function<bool()>& shouldStop = {});

// The carved multi-values by owner row id, each owner's in carving order.
class DelContactValueIndex {
public:
    explicit DelContactValueIndex(const std::vector<DelContactValuePtr>& values);

    // Appends " value" to the contact's phone (property 3), e-mail (4) or
    // web address (22) text for each value whose owner is the contact's
    // row id, in carving order; other properties are not attached. Stops
    // attaching, answering false, when `budget` runs out.
    bool attachTo(ZNContactNode& contact, size_t& budget) const;

private:
    std::unordered_map<int32_t, std::vector<const DelContactValue*>> byOwner_;
};

}  // namespace carve
}  // namespace marlowen
