// WITHOUT ROWID tables keep their rows in an index b-tree, stored with the
// PRIMARY KEY columns first: deleted rows come back in declaration order,
// live rows never.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "deep_test_db.h"

namespace marlowen::carve::deep {
namespace {

using namespace deeptest;  // NOLINT

// Rows of `table` recovered from r, by their text column `keyColumn`; each
// must be one of `deleted` in full. Answers how many came back.
size_t checkRows(const DeepScanResult& r, const std::string& table, size_t keyColumn,
                 const std::map<std::string, std::vector<SqlValue>>& deleted) {
    size_t found = 0;
    for (const auto& row : r.rows) {
        if (row.table != table) continue;
        SCOPED_TRACE(testing::Message() << "page " << row.page << " offset " << row.offset);
        EXPECT_FALSE(row.rowidKnown);
        EXPECT_FALSE(row.partial);
        if (row.values.size() <= keyColumn) {
            ADD_FAILURE() << "too few values";
            continue;
        }
        const auto it = deleted.find(row.values[keyColumn].bytes);
        if (it == deleted.end()) {
            ADD_FAILURE() << "not a deleted row: " << row.values[keyColumn].bytes;
            continue;
        }
        EXPECT_EQ(row.values, it->second);
        ++found;
    }
    return found;
}

TEST(DeepWithoutRowid, DeletedRowsComeBackInDeclarationOrderAndLiveOnesNever) {
    // v mixes one-, two- and three-byte integers; keys of 60 and more
    // characters make payloads of two-byte length and two-byte types.
    std::string sql = "CREATE TABLE w (v INTEGER, k TEXT PRIMARY KEY) WITHOUT ROWID;"
                      "CREATE TABLE plain (a TEXT, b INTEGER);";
    std::map<std::string, std::vector<SqlValue>> deleted;
    for (int i = 0; i < 120; ++i) {
        const std::string key = "key-" + std::to_string(1000 + i) + std::string(i % 3 == 0 ? 70 : 0, 'x');
        const int64_t v = (i * 7919) % 200000 - 100000 + (i % 5 == 0 ? 0 : 99000);
        sql += "INSERT INTO w VALUES (" + std::to_string(v) + ", '" + key + "');";
        sql += "INSERT INTO plain VALUES ('" + key + "', " + std::to_string(v) + ");";
        if (i % 3 != 1) deleted[key] = {integer(v), text(key)};
    }
    sql += "DELETE FROM w WHERE (CAST(substr(k, 5, 4) AS INTEGER) - 1000) % 3 != 1;";
    const DeepScanResult r = scanBytes(makeDb(sql));
    ASSERT_EQ(r.error, DeepScanError::None);
    const size_t found = checkRows(r, "w", 1, deleted);
    EXPECT_GE(found, deleted.size() * 9 / 10);
    // The live copies in the ordinary table are not rows of w.
    EXPECT_TRUE(rowsOf(r, "plain").empty());
}

TEST(DeepWithoutRowid, CompositeKeyIsStoredKeyFirst) {
    TableSchema t = *parseCreateTable(
        "CREATE TABLE c (note TEXT, a TEXT, b INTEGER, PRIMARY KEY (b, a, b)) WITHOUT ROWID");
    EXPECT_EQ(storedColumnOrder(t), (std::vector<int>{2, 1, 0}));

    std::string sql =
        "CREATE TABLE c (note TEXT, a TEXT, b INTEGER, PRIMARY KEY (b, a)) WITHOUT ROWID;";
    std::map<std::string, std::vector<SqlValue>> deleted;
    for (int i = 0; i < 60; ++i) {
        const std::string a = "name" + std::to_string(i), note = "note " + std::to_string(i * 3);
        sql += "INSERT INTO c VALUES ('" + note + "', '" + a + "', " + std::to_string(i * 300) + ");";
        if (i % 2 == 0) deleted[a] = {text(note), text(a), integer(i * 300)};
    }
    sql += "DELETE FROM c WHERE b % 600 = 0;";
    const DeepScanResult r = scanBytes(makeDb(sql));
    EXPECT_GE(checkRows(r, "c", 1, deleted), deleted.size() * 9 / 10);
}

}  // namespace
}  // namespace marlowen::carve::deep
