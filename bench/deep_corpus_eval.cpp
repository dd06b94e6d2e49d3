// Evaluates the deep scan on the public SQLite forensic corpus: for every
// database of categories 0A to 0E it compares the recovered rows with the
// XML answer key and prints, per category, the deleted rows expected, those
// recovered exactly (every column equal), partly (at least half the columns
// equal, or a row flagged partial whose every given value agrees), the false
// rows (neither a deleted row of the key nor anything else in it) and the
// live rows listed as deleted.
//
//   deep_corpus_eval [CORPUS_DIR]     (default ../shared/corpus/sqlite-forensic-corpus-v1)
//   deep_corpus_eval --speed [MB [FILE]]  (deep scan against SQLite's full read;
//                                          FILE is built when missing and kept)
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/sql_full_read.h"
#include "core/deep/deep_engine.h"

namespace fs = std::filesystem;
using marlowen::carve::deep::RecoveredRow;
using marlowen::carve::deep::SqlValue;

namespace {

struct KeyRow {
    std::string table;
    std::vector<std::string> values;
    bool deleted = false;
    bool matched = false;
    bool partlyMatched = false;
};

// The text between the first <tag> at or after `from` and its </tag>.
bool between(const std::string& s, const std::string& tag, size_t from, size_t limit,
             std::string& out, size_t& end) {
    const size_t a = s.find("<" + tag + ">", from);
    if (a == std::string::npos || a >= limit) return false;
    const size_t b = s.find("</" + tag + ">", a);
    if (b == std::string::npos || b > limit) return false;
    out = s.substr(a + tag.size() + 2, b - a - tag.size() - 2);
    end = b + tag.size() + 3;
    return true;
}

// The answer key: the tables' rows, each marked deleted when the row is
// (deleted="1") or its whole table was dropped.
std::vector<KeyRow> readKey(const fs::path& xml) {
    std::ifstream in(xml);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string s = ss.str();
    std::vector<KeyRow> rows;
    size_t at = 0;
    while (true) {
        const size_t e = s.find("<element>", at);
        if (e == std::string::npos) break;
        size_t eEnd = s.find("</element>", e);
        if (eEnd == std::string::npos) eEnd = s.size();
        std::string type, name, dropped;
        size_t t;
        between(s, "type", e, eEnd, type, t);
        between(s, "name", e, eEnd, name, t);
        between(s, "deleted", e, eEnd, dropped, t);
        size_t r = e;
        while (type == "table") {
            // "<row>" or "<row deleted=...>", never "<rowsTotal>".
            const size_t plain = s.find("<row>", r), marked = s.find("<row ", r);
            r = std::min(plain, marked);
            if (r == std::string::npos || r >= eEnd) break;
            const size_t rEnd = s.find("</row>", r);
            KeyRow row;
            row.table = name;
            row.deleted = dropped == "True" || s.compare(r, 17, "<row deleted=\"1\">") == 0;
            size_t c = r;
            std::string content;
            while (between(s, "content", c, rEnd, content, c)) row.values.push_back(content);
            rows.push_back(row);
            r = rEnd;
        }
        at = eEnd + 1;
    }
    return rows;
}

bool sameValue(const SqlValue& v, const std::string& expected) {
    switch (v.kind) {
        case SqlValue::Kind::Null:
            return expected.empty() || expected == "None";
        case SqlValue::Kind::Text:
            return v.bytes == expected;
        case SqlValue::Kind::Blob:
            return false;
        case SqlValue::Kind::Integer:
        case SqlValue::Kind::Real: {
            char* end = nullptr;
            const double want = std::strtod(expected.c_str(), &end);
            if (end == expected.c_str() || *end != '\0') return false;
            if (v.kind == SqlValue::Kind::Integer && std::to_string(v.integer) == expected)
                return true;
            const double got =
                v.kind == SqlValue::Kind::Real ? v.real : static_cast<double>(v.integer);
            return std::fabs(got - want) <= 1e-9 * std::max(1.0, std::fabs(want));
        }
    }
    return false;
}

size_t equalColumns(const RecoveredRow& r, const KeyRow& k) {
    if (r.values.size() != k.values.size()) return 0;
    size_t n = 0;
    for (size_t i = 0; i < r.values.size(); ++i) n += sameValue(r.values[i], k.values[i]);
    return n;
}

// A row flagged partial agrees with a key row when every value it gives is
// the key's: lost values read NULL and a cut text is a prefix of the key's.
// It must give at least two values, so that a bare id matches nothing.
bool agreesInPart(const RecoveredRow& r, const KeyRow& k) {
    if (!r.partial || r.values.size() != k.values.size()) return false;
    size_t given = 0;
    for (size_t i = 0; i < r.values.size(); ++i) {
        const SqlValue& v = r.values[i];
        if (v.kind == SqlValue::Kind::Null) continue;
        const bool prefix = v.kind == SqlValue::Kind::Text && !v.bytes.empty() &&
                            k.values[i].compare(0, v.bytes.size(), v.bytes) == 0;
        if (!prefix && !sameValue(v, k.values[i])) return false;
        ++given;
    }
    return given >= 2;
}

bool sameTable(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

struct Tally {
    int databases = 0, expected = 0, exact = 0, partial = 0, falseRows = 0, liveListed = 0;
};

void evaluate(const fs::path& db, Tally& tally, bool verbose) {
    auto key = readKey(fs::path(db).replace_extension(".xml"));
    const auto result = marlowen::carve::deep::deepScanFile(db.string());
    ++tally.databases;
    int exact = 0, partial = 0, falseRows = 0, live = 0, expected = 0;
    for (const auto& k : key) expected += k.deleted;
    std::vector<const RecoveredRow*> unmatched;
    for (const auto& r : result.rows) {
        if (r.table == "sqlite_schema") continue;
        bool found = false;
        for (auto& k : key) {
            if (!k.deleted || k.matched || !sameTable(r.table, k.table)) continue;
            if (equalColumns(r, k) == k.values.size() && !k.values.empty()) {
                k.matched = found = true;
                ++exact;
                break;
            }
        }
        if (!found) unmatched.push_back(&r);
    }
    for (const RecoveredRow* r : unmatched) {
        bool accounted = false;
        for (auto& k : key) {
            if (!sameTable(r->table, k.table)) continue;
            const size_t eq = equalColumns(*r, k);
            if (!k.deleted && eq == k.values.size()) {
                ++live;
                accounted = true;
                break;
            }
            if (k.deleted && !k.matched && !k.partlyMatched &&
                ((2 * eq >= k.values.size() && eq > 0) || agreesInPart(*r, k))) {
                k.partlyMatched = accounted = true;
                ++partial;
                break;
            }
            // A second copy of a row already recovered is not false either.
            if (k.deleted && eq == k.values.size()) {
                accounted = true;
                break;
            }
        }
        if (!accounted) {
            ++falseRows;
            if (verbose) {
                std::cerr << db.filename().string() << ": false row " << r->table << " page "
                          << r->page << " offset " << r->offset << ":";
                for (const auto& v : r->values)
                    std::cerr << ' '
                              << (v.kind == SqlValue::Kind::Integer ? std::to_string(v.integer)
                                  : v.kind == SqlValue::Kind::Real  ? std::to_string(v.real)
                                  : v.kind == SqlValue::Kind::Null  ? "NULL"
                                                                    : v.bytes);
                std::cerr << '\n';
            }
        }
    }
    if (verbose && exact + partial < expected) {
        for (const auto& k : key)
            if (k.deleted && !k.matched && !k.partlyMatched)
                std::cerr << db.filename().string() << ": missed " << k.table << " "
                          << (k.values.empty() ? "" : k.values[0]) << '\n';
    }
    tally.expected += expected;
    tally.exact += exact;
    tally.partial += partial;
    tally.falseRows += falseRows + live;
    tally.liveListed += live;
}

int corpus(const fs::path& root, bool verbose) {
    std::printf(
        "| category | databases | deleted expected | exact | partial | false | live listed |\n");
    std::printf(
        "|----------|-----------|------------------|-------|---------|-------|-------------|\n");
    Tally all;
    for (const char* cat : {"0A", "0B", "0C", "0D", "0E"}) {
        Tally t;
        std::vector<fs::path> dbs;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(root / cat, ec))
            if (e.path().extension() == ".db") dbs.push_back(e.path());
        std::sort(dbs.begin(), dbs.end());
        for (const auto& db : dbs) evaluate(db, t, verbose);
        std::printf("| %-8s | %9d | %16d | %5d | %7d | %5d | %11d |\n", cat, t.databases,
                    t.expected, t.exact, t.partial, t.falseRows, t.liveListed);
        all.databases += t.databases;
        all.expected += t.expected;
        all.exact += t.exact;
        all.partial += t.partial;
        all.falseRows += t.falseRows;
        all.liveListed += t.liveListed;
    }
    std::printf("| %-8s | %9d | %16d | %5d | %7d | %5d | %11d |\n", "all", all.databases,
                all.expected, all.exact, all.partial, all.falseRows, all.liveListed);
    return all.databases == 0 ? 1 : 0;
}

void exec(sqlite3* db, const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        std::cerr << "sqlite: " << (err ? err : "?") << '\n';
        sqlite3_free(err);
        std::exit(2);
    }
}

// Builds a database of about `mb` megabytes (two tables, a tenth of the
// rows deleted) at `file`.
void buildSpeedFile(const fs::path& file, int mb) {
    sqlite3* db = nullptr;
    sqlite3_open(file.string().c_str(), &db);
    exec(db,
         "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA secure_delete=OFF;"
         "CREATE TABLE person(id INTEGER PRIMARY KEY, first TEXT, last TEXT, born INTEGER, score "
         "REAL);"
         "CREATE TABLE note(id INTEGER PRIMARY KEY, person INTEGER, body TEXT, data BLOB);");
    exec(db, "BEGIN");
    sqlite3_stmt* p = nullptr;
    sqlite3_stmt* n = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO person(first,last,born,score) VALUES(?,?,?,?)", -1, &p,
                       nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO note(person,body,data) VALUES(?,?,randomblob(40))", -1, &n,
                       nullptr);
    const int64_t rows = static_cast<int64_t>(mb) * 1024 * 1024 / 300;
    for (int64_t i = 0; i < rows; ++i) {
        const std::string first = "First" + std::to_string(i * 7919 % 100000);
        const std::string last = "Lastname" + std::to_string(i);
        sqlite3_bind_text(p, 1, first.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(p, 2, last.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(p, 3, 1950 + i % 60);
        sqlite3_bind_double(p, 4, static_cast<double>(i) / 7.0);
        sqlite3_step(p);
        sqlite3_reset(p);
        const std::string body(120 + i % 80, static_cast<char>('a' + i % 26));
        sqlite3_bind_int64(n, 1, i);
        sqlite3_bind_text(n, 2, body.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(n);
        sqlite3_reset(n);
    }
    sqlite3_finalize(p);
    sqlite3_finalize(n);
    exec(db, "COMMIT; DELETE FROM person WHERE id % 10 = 3; DELETE FROM note WHERE id % 10 = 7;");
    sqlite3_close(db);
}

// SQLite's full read: every column of every row of every table, each
// value fetched in its own storage class (the benchmarks' shared
// reference). Answers the number of rows read.
int64_t sqliteFullRead(const fs::path& file) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.string().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    int64_t rows = 0;
    // Virtual tables whose module is missing cannot be read: skipped.
    for (const auto& table : marlowen::bench::tablesOf(db))
        rows += std::max<int64_t>(marlowen::bench::readEveryRow(db, table), 0);
    sqlite3_close(db);
    return rows;
}

// The process's CPU time (user and system) in milliseconds.
double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Times SQLite's full read against the deep scan of the same file, both
// with the file in the page cache: one untimed run of each first, then
// `rounds` alternating runs, the best of each kept (the machine is shared;
// the best run is the one least disturbed). CPU time is shown beside the
// wall-clock time: it does not count the waits for a busy processor.
int timeFile(const fs::path& file, int rounds) {
    int64_t rows = sqliteFullRead(file);
    auto result = marlowen::carve::deep::deepScanFile(file.string());
    double sqliteMs = 1e300, deepMs = 1e300, sqliteCpu = 1e300, deepCpu = 1e300;
    for (int r = 0; r < rounds; ++r) {
        // The last run's rows are freed first, outside the timing.
        result = {};
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = cpuMs();
        rows = sqliteFullRead(file);
        const auto t1 = std::chrono::steady_clock::now();
        const double c1 = cpuMs();
        result = marlowen::carve::deep::deepScanFile(file.string());
        const auto t2 = std::chrono::steady_clock::now();
        const double c2 = cpuMs();
        sqliteMs = std::min(sqliteMs, std::chrono::duration<double, std::milli>(t1 - t0).count());
        deepMs = std::min(deepMs, std::chrono::duration<double, std::milli>(t2 - t1).count());
        sqliteCpu = std::min(sqliteCpu, c1 - c0);
        deepCpu = std::min(deepCpu, c2 - c1);
    }
    std::printf(
        "file %.1f MB: SQLite full read %.0f ms (%lld rows), deep scan %.0f ms "
        "(%zu deleted rows, %llu live rows), ratio %.2f (best of %d); "
        "CPU %.0f ms against %.0f ms, ratio %.2f\n",
        static_cast<double>(fs::file_size(file)) / 1048576.0, sqliteMs,
        static_cast<long long>(rows), deepMs, result.rows.size(),
        static_cast<unsigned long long>(result.liveRows), deepMs / sqliteMs, rounds, deepCpu,
        sqliteCpu, deepCpu / sqliteCpu);
    return 0;
}

// `--speed MB`: builds a database of about MB megabytes in the temporary
// folder, times it and removes it. `--speed MB FILE`: times FILE, building
// it first (and keeping it) when it does not exist; any SQLite file works.
int speed(int mb, const std::string& keep) {
    if (!keep.empty()) {
        if (!fs::exists(keep)) buildSpeedFile(keep, mb);
        return timeFile(keep, 5);
    }
    const fs::path dir = fs::temp_directory_path() / "marlowen-deep-speed";
    fs::create_directories(dir);
    const fs::path file = dir / "speed.db";
    fs::remove(file);
    buildSpeedFile(file, mb);
    const int rc = timeFile(file, 5);
    fs::remove(file);
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    bool verbose = false;
    if (!args.empty() && args[0] == "-v") {
        verbose = true;
        args.erase(args.begin());
    }
    if (!args.empty() && args[0] == "--speed")
        return speed(args.size() > 1 ? std::atoi(args[1].c_str()) : 100,
                     args.size() > 2 ? args[2] : "");
    const fs::path root =
        args.empty() ? fs::path("../shared/corpus/sqlite-forensic-corpus-v1") : fs::path(args[0]);
    return corpus(root, verbose);
}
