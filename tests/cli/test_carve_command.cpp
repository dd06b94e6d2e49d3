// `carve DBFILE [--json]` prints each recovered row with its table, typed
// values and location, and leaves the file as it was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "cli_run.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"

namespace marlowen::cli {
namespace {

using ::testing::HasSubstr;
using testing::runCapture;

// A file with one deleted row holding every storage class.
std::filesystem::path makeDb(const fixture::TempDir& dir) {
    const auto path = dir / "any.db";
    sqlite3* db = nullptr;
    sqlite3_open(path.string().c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA secure_delete=OFF; CREATE TABLE t (i INTEGER, r REAL, s TEXT, b BLOB, n);"
                 "INSERT INTO t VALUES (1, 1.5, 'keep', x'00', NULL);"
                 "INSERT INTO t VALUES (-70000, -0.25, 'it''s gone', x'cafe', NULL);"
                 "INSERT INTO t VALUES (3, 2.5, 'keep too', x'01', NULL);"
                 "DELETE FROM t WHERE i < 0;",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return path;
}

TEST(CarveCommand, PrintsTheRowAsSqlLiterals) {
    fixture::TempDir dir;
    const auto path = makeDb(dir);
    const auto before = fixture::readFileBytes(path);
    const auto r = runCapture({"carve", path.string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.out, HasSubstr("t  page 2 offset "));
    EXPECT_THAT(r.out, HasSubstr("freeblock"));
    EXPECT_THAT(r.out, HasSubstr("-70000, -0.25, 'it''s gone', X'cafe', NULL"));
    EXPECT_THAT(r.out, ::testing::Not(HasSubstr("keep")));
    EXPECT_THAT(r.err, HasSubstr("1 deleted rows recovered (2 live rows skipped)"));
    EXPECT_EQ(fixture::readFileBytes(path), before);
}

TEST(CarveCommand, JsonKeepsTheStorageClasses) {
    fixture::TempDir dir;
    const auto r = runCapture({"carve", makeDb(dir).string(), "--json"});
    ASSERT_EQ(r.status, 0);
    std::istringstream lines(r.out);
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    const auto j = nlohmann::json::parse(line);
    EXPECT_EQ(j["table"], "t");
    EXPECT_EQ(j["columns"], nlohmann::json({"i", "r", "s", "b", "n"}));
    EXPECT_TRUE(j["values"][0].is_number_integer());
    EXPECT_EQ(j["values"][0], -70000);
    EXPECT_TRUE(j["values"][1].is_number_float());
    EXPECT_EQ(j["values"][2], "it's gone");
    EXPECT_EQ(j["values"][3], nlohmann::json({{"blob", "cafe"}}));
    EXPECT_TRUE(j["values"][4].is_null());
    EXPECT_EQ(j["page"], 2);
    EXPECT_EQ(j["kind"], "freeblock");
    EXPECT_FALSE(std::getline(lines, line));
}

// A WAL-mode file copied with its log while the connection is open: the
// log's older frame holds a row deleted (and zeroed) since.
std::filesystem::path makeWalDb(const fixture::TempDir& dir) {
    const auto path = dir / "src.db";
    sqlite3* db = nullptr;
    sqlite3_open(path.string().c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0; PRAGMA secure_delete=ON;"
                 "CREATE TABLE t (s TEXT); INSERT INTO t VALUES ('kept');"
                 "INSERT INTO t VALUES ('only in the log'); DELETE FROM t WHERE s LIKE 'only%';",
                 nullptr, nullptr, nullptr);
    fixture::writeFileBytes(dir / "w.db", fixture::readFileBytes(path));
    fixture::writeFileBytes(dir / "w.db-wal", fixture::readFileBytes(dir / "src.db-wal"));
    fixture::writeFileBytes(dir / "w.db-journal", {});  // an empty companion is none
    sqlite3_close(db);
    return dir / "w.db";
}

TEST(CarveCommand, SearchesTheLogBesideTheFileOrTheOneNamed) {
    fixture::TempDir dir;
    const auto path = makeWalDb(dir);
    const auto beside = runCapture({"carve", path.string()});
    EXPECT_EQ(beside.status, 0);
    EXPECT_THAT(beside.out, HasSubstr("wal-frame"));
    EXPECT_THAT(beside.out, HasSubstr("'only in the log'"));
    EXPECT_THAT(beside.err, HasSubstr("also searching " + path.string() + "-wal"));
    EXPECT_THAT(beside.err, ::testing::Not(HasSubstr("journal:")));

    std::filesystem::rename(path.string() + "-wal", dir / "log");
    EXPECT_THAT(runCapture({"carve", path.string()}).out, ::testing::Not(HasSubstr("only in")));
    const auto named = runCapture({"carve", path.string(), "--wal", (dir / "log").string()});
    EXPECT_THAT(named.out, HasSubstr("'only in the log'"));
    const auto missing = runCapture({"carve", path.string(), "--wal", (dir / "none").string()});
    EXPECT_NE(missing.status, 0);
    EXPECT_THAT(missing.err, HasSubstr("none"));
}

TEST(CarveCommand, FilesItCannotReadEndWithAMessage) {
    fixture::TempDir dir;
    const auto text = dir / "not.db";
    fixture::writeFileBytes(text, fixture::Bytes(2048, 'x'));
    const struct {
        std::string path;
        const char* message;
    } cases[] = {
        {(dir / "missing.db").string(), "cannot open"},
        {text.string(), "not a SQLite database"},
    };
    for (const auto& c : cases) {
        const auto r = runCapture({"carve", c.path});
        EXPECT_EQ(r.status, 1);
        EXPECT_THAT(r.err, HasSubstr(c.message));
        EXPECT_TRUE(r.out.empty());
    }
}

}  // namespace
}  // namespace marlowen::cli
