// Recovered and live rows as the texts SQL answers: the rows the deep
// mapping hands the live readers' conversions.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "core/deep_mapping/deep_cells.h"
#include "deep_test_db.h"

namespace marlowen::carve::deep {
namespace {

constexpr const char* kColumns[] = {"ROWID", "NAME", "score", "missing", "data"};

TEST(DeepCells, RecoveredValuesReadAsSqlAnswersThemByColumnName) {
    const auto t =
        parseCreateTable("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, score, data)");
    ASSERT_TRUE(t);
    RecoveredRow row;
    row.rowidKnown = true;
    row.rowid = 42;
    row.values = {{SqlValue::Kind::Null, 0, 0, {}},
                  {SqlValue::Kind::Text, 0, 0, "Ann"},
                  {SqlValue::Kind::Real, 0, 380228400.5, {}},
                  {SqlValue::Kind::Blob, 0, 0, std::string("a\0b", 3)}};
    // No column is named ROWID: it is the rowid; the alias reads it too.
    EXPECT_EQ(cellsOf(*t, row, kColumns),
              (CellTexts{"42", "Ann", "380228400.5", std::nullopt, std::string("a\0b", 3)}));
    constexpr const char* kAlias[] = {"id"};
    EXPECT_EQ(cellsOf(*t, row, kAlias), CellTexts{"42"});
    row.rowidKnown = false;
    EXPECT_EQ(cellsOf(*t, row, kAlias), CellTexts{std::nullopt});
    EXPECT_EQ(cellsOf(*t, row, kColumns)[0], std::nullopt);
    // Reals as SQLite prints them, so a date column converts alike.
    EXPECT_EQ(sqlText({SqlValue::Kind::Real, 0, 1e20, {}}), "1.0e+20");
    EXPECT_EQ(sqlText({SqlValue::Kind::Integer, -7, 0, {}}), "-7");
}

TEST(DeepCells, LiveRowsReadMissingColumnsAndTablesWithoutRowidAsNull) {
    fixture::TempDir dir("marlowen-deep");
    const std::string path = (dir / "live.db").string();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE t (name TEXT, score REAL, data BLOB);"
                           "INSERT INTO t VALUES ('Bo', 2.5, x'00ff');"
                           "CREATE TABLE w (name TEXT PRIMARY KEY, score) WITHOUT ROWID;"
                           "INSERT INTO w VALUES ('Cy', 3);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const LiveRows live = liveRowsOf(db);
    EXPECT_EQ(live("t", kColumns),
              (std::vector<CellTexts>{{"1", "Bo", "2.5", std::nullopt, std::string("\0\xff", 2)}}));
    EXPECT_EQ(live("w", kColumns),
              (std::vector<CellTexts>{{std::nullopt, "Cy", "3", std::nullopt, std::nullopt}}));
    EXPECT_TRUE(live("gone", kColumns).empty());
    sqlite3_close(db);
}

}  // namespace
}  // namespace marlowen::carve::deep
