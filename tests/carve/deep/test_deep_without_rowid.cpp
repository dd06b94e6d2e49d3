// WITHOUT ROWID tables keep their rows in an index b-tree, stored with the
// PRIMARY KEY columns first: deleted rows come back in declaration order,
// live rows never.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "deep_test_db.h"

namespace marlowen::carve::deep {
namespace {

using namespace deeptest;  // NOLINT

// Checks the rows of `table` recovered from r against `deleted`: a whole row
// is one of them; a partial one matches one where it has values (NULL for
// lost ones, a prefix for a cut text). Answers {whole, partial}.
std::pair<size_t, size_t> checkRows(const DeepScanResult& r, const std::string& table,
                                    const std::vector<std::vector<SqlValue>>& deleted) {
    auto matches = [](const std::vector<SqlValue>& got, const std::vector<SqlValue>& want) {
        if (got.size() != want.size()) return false;
        for (size_t i = 0; i < got.size(); ++i)
            if (!(got[i] == want[i] || got[i].kind == SqlValue::Kind::Null ||
                  (got[i].kind == SqlValue::Kind::Text && want[i].kind == SqlValue::Kind::Text &&
                   want[i].bytes.starts_with(got[i].bytes))))
                return false;
        return true;
    };
    size_t whole = 0, partial = 0;
    for (const auto& row : r.rows) {
        if (row.table != table) continue;
        SCOPED_TRACE(testing::Message() << "page " << row.page << " offset " << row.offset);
        EXPECT_FALSE(row.rowidKnown);
        if (!row.partial) {
            EXPECT_NE(std::find(deleted.begin(), deleted.end(), row.values), deleted.end());
            ++whole;
        } else {
            EXPECT_TRUE(std::any_of(deleted.begin(), deleted.end(),
                                    [&](const auto& d) { return matches(row.values, d); }));
            ++partial;
        }
    }
    return {whole, partial};
}

TEST(DeepWithoutRowid, DeletedRowsComeBackInDeclarationOrderAndLiveOnesNever) {
    // v mixes integers of one to four bytes; keys of 70 and more
    // characters have two-byte serial types, of 130 and more two-byte
    // payload lengths. All rows fit in the root page: a deleted row whose
    // page a later rebalance rewrote has no bytes left to find.
    std::string sql =
        "CREATE TABLE w (v INTEGER, k TEXT PRIMARY KEY) WITHOUT ROWID;"
        "CREATE TABLE plain (a TEXT, b INTEGER);";
    std::vector<std::vector<SqlValue>> deleted;
    for (int i = 0; i < 45; ++i) {
        const std::string key =
            "key-" + std::to_string(1000 + i) + std::string(i % 3 == 0 ? 70 * (i % 2 + 1) : 0, 'x');
        const int64_t v =
            (i * 7919) % 200000 - 100000 + (i % 5 == 0 ? 0 : 99000) + (i % 4) * 5000000;
        sql += "INSERT INTO w VALUES (" + std::to_string(v) + ", '" + key + "');";
        sql += "INSERT INTO plain VALUES ('" + key + "', " + std::to_string(v) + ");";
        if (i % 3 != 1) deleted.push_back({integer(v), text(key)});
    }
    sql += "DELETE FROM w WHERE (CAST(substr(k, 5, 4) AS INTEGER) - 1000) % 3 != 1;";
    const DeepScanResult r = scanBytes(makeDb(sql, 8192));
    ASSERT_EQ(r.error, DeepScanError::None);
    // A short key and its number share two lost serial types: where more
    // than one split of their bytes reads soundly the row is partial.
    const auto [whole, partial] = checkRows(r, "w", deleted);
    EXPECT_EQ(whole + partial, deleted.size());
    EXPECT_GE(whole, deleted.size() / 2);
    // The live copies in the ordinary table are not rows of w.
    EXPECT_TRUE(rowsOf(r, "plain").empty());
}

TEST(DeepWithoutRowid, CompositeKeyIsStoredKeyFirst) {
    TableSchema t = *parseCreateTable(
        "CREATE TABLE c (note TEXT, a TEXT, b INTEGER, PRIMARY KEY (b, a, b)) WITHOUT ROWID");
    EXPECT_EQ(storedColumnOrder(t), (std::vector<int>{2, 1, 0}));

    std::string sql =
        "CREATE TABLE c (note TEXT, b INTEGER, a TEXT, PRIMARY KEY (a, b)) WITHOUT ROWID;";
    std::vector<std::vector<SqlValue>> deleted;
    for (int i = 0; i < 24; ++i) {
        // Names of 60 and more bytes: the first stored type is two bytes,
        // and a freed cell loses no other type with it.
        const std::string a = "name" + std::to_string(i) + std::string(60, 'y'),
                          note = "note " + std::to_string(i * 3);
        sql +=
            "INSERT INTO c VALUES ('" + note + "', " + std::to_string(i * 300) + ", '" + a + "');";
        if (i % 2 == 0) deleted.push_back({text(note), integer(i * 300), text(a)});
    }
    sql += "DELETE FROM c WHERE b % 600 = 0;";
    const DeepScanResult r = scanBytes(makeDb(sql, 4096));
    const auto [whole, partial] = checkRows(r, "c", deleted);
    EXPECT_EQ(whole, deleted.size());
    EXPECT_EQ(partial, 0u);
}

}  // namespace
}  // namespace marlowen::carve::deep
