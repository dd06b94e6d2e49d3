#include <gtest/gtest.h>

#include "core/deep/table_schema.h"

namespace marlowen::carve::deep {
namespace {

struct AffinityCase {
    const char* declared;
    Affinity expected;
};

TEST(TableSchema, AffinityFollowsTheFirstMatchingRule) {
    const AffinityCase cases[] = {
        {"INTEGER", Affinity::Integer},
        {"INT UNSIGNED", Affinity::Integer},
        {"TINYINT", Affinity::Integer},
        {"VARCHAR", Affinity::Text},
        {"CLOB", Affinity::Text},
        {"TEXT", Affinity::Text},
        {"BLOB", Affinity::Blob},
        {"", Affinity::Blob},
        {"REAL", Affinity::Real},
        {"DOUBLE PRECISION", Affinity::Real},
        {"FLOAT", Affinity::Real},
        {"NUMERIC", Affinity::Numeric},
        {"DATETIME", Affinity::Numeric},
        {"CHARINT", Affinity::Integer},         // INT wins
        {"FLOATING POINT", Affinity::Integer},  // "POINT" holds INT
    };
    for (const auto& c : cases) EXPECT_EQ(affinityOf(c.declared), c.expected) << c.declared;
}

struct SchemaCase {
    const char* sql;
    const char* name;
    std::vector<std::string> columns;
    int rowidColumn;
    bool withoutRowid;
};

TEST(TableSchema, ParsesColumnListsAndTheRowidAlias) {
    const SchemaCase cases[] = {
        {"CREATE TABLE t (a, b, c)", "t", {"a", "b", "c"}, -1, false},
        {"CREATE TABLE users ('id' INT UNSIGNED NOT NULL, 'name' TEXT NULL)",
         "users",
         {"id", "name"},
         -1,
         false},
        {"CREATE TABLE \"we\"\"ird\" ([x y] INTEGER PRIMARY KEY, `z` VARCHAR(20) DEFAULT 'a,b')",
         "we\"ird",
         {"x y", "z"},
         0,
         false},
        {"create table if not exists main.m (k TEXT, id INTEGER, PRIMARY KEY(id))",
         "m",
         {"k", "id"},
         1,
         false},
        {"CREATE TABLE d (id INTEGER PRIMARY KEY DESC, v)", "d", {"id", "v"}, -1, false},
        {"CREATE TABLE i (id INT PRIMARY KEY, v)", "i", {"id", "v"}, -1, false},
        {"CREATE TABLE w (id INTEGER PRIMARY KEY, v) WITHOUT ROWID", "w", {"id", "v"}, -1, true},
        {"CREATE TABLE c (a /* the ( first */ INTEGER, -- comma, here\n b CHECK (b > 0), "
         "CONSTRAINT u UNIQUE (a, b))",
         "c",
         {"a", "b"},
         -1,
         false},
        {"CREATE TEMP TABLE x (ROWID_ALIAS integer primary key autoincrement)",
         "x",
         {"ROWID_ALIAS"},
         0,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        const auto t = parseCreateTable(c.sql);
        ASSERT_TRUE(t.has_value());
        EXPECT_EQ(t->name, c.name);
        std::vector<std::string> names;
        for (const auto& col : t->columns) names.push_back(col.name);
        EXPECT_EQ(names, c.columns);
        EXPECT_EQ(t->rowidColumn, c.rowidColumn);
        EXPECT_EQ(t->withoutRowid, c.withoutRowid);
    }
}

TEST(TableSchema, RejectsWhatIsNotATableWithColumns) {
    const char* cases[] = {
        "",
        "CREATE INDEX i ON t(a)",
        "CREATE VIRTUAL TABLE f USING fts4(a, b)",
        "CREATE TABLE t AS SELECT 1",
        "CREATE TABLE t (a, b",    // cut before the list closes
        "CREATE TABLE t ()",       // no column
        "CREATE TABLE",            // no name
        "CREATE TABLE 't (a, b)",  // unterminated quote swallows the rest
        "CREATE TABLE t (a /* unterminated comment",
        "\x01\x02\xff CREATE TABLE t (a)",  // leading garbage is not a statement
    };
    for (const char* sql : cases) EXPECT_FALSE(parseCreateTable(sql).has_value()) << sql;
}

TEST(TableSchema, DeepNestingAndLongTextStayBounded) {
    std::string sql = "CREATE TABLE t (a CHECK (" + std::string(5000, '(') + "1" +
                      std::string(5000, ')') + "), b)";
    const auto t = parseCreateTable(sql);
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(t->columns.size(), 2u);
    EXPECT_FALSE(parseCreateTable("CREATE TABLE t (" + std::string(100000, '(')).has_value());
}

}  // namespace
}  // namespace marlowen::carve::deep
