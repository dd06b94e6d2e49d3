// Lost rowids inferred from where freed cells stand: the keys of a leaf's
// parents bound the rowids of its first and last cells.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/deep/person_rowids.h"
#include "deep_test_db.h"

namespace marlowen::carve::deep {
namespace {

using namespace deeptest;  // NOLINT

// Thirty rows of about 100 bytes, four to a 512-byte leaf; every third is
// deleted, so freed cells stand first and last on their leaves. Each freed
// cell lost its rowid to the freeblock header; the deleted rowids are the
// candidates, with two more outside the table's rowids; a cell is given its
// own one or none.
TEST(PersonRowids, FreedCellsAtALeafsEndsTakeTheRowidsItsParentsAllow) {
    std::string sql = "CREATE TABLE t (name TEXT);";
    for (int i = 1; i <= 30; ++i)
        sql += "INSERT INTO t VALUES ('" + std::to_string(i) + ":" + std::string(96, 'x') + "');";
    sql += "DELETE FROM t WHERE rowid % 3 = 0;";
    const auto db = PageReader::fromBytes(makeDb(sql, 512));
    const DeepScanResult r = deepScan(db);
    std::vector<PersonPlace> places;
    std::vector<int64_t> truth;
    for (const auto& row : r.rows) {
        if (row.table != "t") continue;
        places.push_back({row.page, row.offset, std::nullopt, row.kind});
        truth.push_back(std::stoll(row.values.at(0).bytes));
    }
    // Owners of values whose person cells are gone, beyond every leaf.
    std::set<int64_t> candidates{-7, 100};
    for (int64_t id = 3; id <= 30; id += 3) candidates.insert(id);
    const auto given = inferLostRowids(db, nullptr, 2, places, candidates);
    std::set<int64_t> found;
    for (size_t i = 0; i < places.size(); ++i) {
        if (!given[i]) continue;
        EXPECT_EQ(*given[i], truth[i]) << "cell at page " << places[i].page;
        found.insert(*given[i]);
    }
    EXPECT_THAT(found, ::testing::IsSupersetOf({6, 9, 15, 18}));
}

}  // namespace
}  // namespace marlowen::carve::deep
