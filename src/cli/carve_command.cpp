// `marlowen-cli carve DBFILE [--json] [--wal FILE] [--journal FILE]`: the
// deep scan on any SQLite file, one recovered row per line. Examiners use it
// on databases outside a backup; the corpus evaluation reads its rows the
// same way. The file's "-wal" and "-journal" companions beside it are
// searched too when present.
#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/cli_app.h"
#include "core/deep/deep_engine.h"

namespace marlowen::cli {
namespace {

using carve::deep::DeepScanError;
using carve::deep::RecoveredRow;
using carve::deep::SqlValue;

std::string hex(const std::string& bytes) {
    static const char* kDigits = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

std::string realText(double r) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", r);
    return buf;
}

// SQL literal form: texts quoted with doubled quotes, blobs as X'..'.
std::string sqlLiteral(const SqlValue& v) {
    switch (v.kind) {
        case SqlValue::Kind::Null:
            return "NULL";
        case SqlValue::Kind::Integer:
            return std::to_string(v.integer);
        case SqlValue::Kind::Real:
            return realText(v.real);
        case SqlValue::Kind::Blob:
            return "X'" + hex(v.bytes) + "'";
        case SqlValue::Kind::Text: {
            std::string out = "'";
            for (char c : v.bytes) {
                if (c == '\'') out += '\'';
                out += c;
            }
            return out + "'";
        }
    }
    return "NULL";
}

// JSON keeps the storage class: integers and reals as numbers (a real that
// is not finite as a string), texts as strings, blobs as {"blob": hex}.
nlohmann::json jsonValue(const SqlValue& v) {
    switch (v.kind) {
        case SqlValue::Kind::Null:
            return nullptr;
        case SqlValue::Kind::Integer:
            return v.integer;
        case SqlValue::Kind::Real:
            if (std::isfinite(v.real)) return v.real;
            return {{"real", realText(v.real)}};
        case SqlValue::Kind::Text:
            return v.bytes;
        case SqlValue::Kind::Blob:
            return {{"blob", hex(v.bytes)}};
    }
    return nullptr;
}

const char* errorText(DeepScanError e) {
    switch (e) {
        case DeepScanError::CannotOpen:
            return "cannot open the file";
        case DeepScanError::NotSqlite:
            return "not a SQLite database (header text differs)";
        case DeepScanError::BadPageSize:
            return "page size in the header is not a power of two from 512 to 65536";
        case DeepScanError::None:
            break;
    }
    return "";
}

void printRow(std::ostream& out, const RecoveredRow& r, const carve::deep::TableSchema* schema,
              bool json) {
    if (json) {
        nlohmann::json j;
        j["table"] = r.table;
        j["rowid"] = r.rowidKnown ? nlohmann::json(r.rowid) : nlohmann::json(nullptr);
        nlohmann::json cols = nlohmann::json::array(), vals = nlohmann::json::array();
        for (size_t i = 0; i < r.values.size(); ++i) {
            cols.push_back(schema && i < schema->columns.size() ? schema->columns[i].name : "");
            vals.push_back(jsonValue(r.values[i]));
        }
        j["columns"] = cols;
        j["values"] = vals;
        j["page"] = r.page;
        j["offset"] = r.offset;
        j["kind"] = carve::deep::freeSpaceKindName(r.kind);
        j["partial"] = r.partial;
        // Only where they apply, so that other rows read as before.
        if (r.rowidFromIndex) j["rowid_from_index"] = true;
        if (r.versionOf) j["version_of"] = *r.versionOf;
        out << j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        return;
    }
    out << r.table << "  page " << r.page << " offset " << r.offset << " "
        << carve::deep::freeSpaceKindName(r.kind);
    if (r.rowidKnown) out << "  rowid " << r.rowid;
    if (r.rowidFromIndex) out << " (from an index)";
    if (r.partial) out << "  (partial)";
    if (r.versionOf) out << "  earlier version of rowid " << *r.versionOf;
    out << "\n   ";
    for (size_t i = 0; i < r.values.size(); ++i) out << (i ? ", " : " ") << sqlLiteral(r.values[i]);
    out << '\n';
}

}  // namespace

void addCarveCommand(CLI::App& app, CliContext& ctx) {
    auto* cmd = app.add_subcommand("carve", "Recover the deleted rows of any SQLite file");
    auto path = std::make_shared<std::string>();
    auto json = std::make_shared<bool>(false);
    cmd->add_option("DBFILE", *path, "The database file (read only)")->required();
    cmd->add_flag("--json", *json, "One JSON object per recovered row");
    auto companions = std::make_shared<carve::deep::DeepScanCompanions>();
    cmd->add_option("--wal", companions->walPath,
                    "The write-ahead log to search (default: DBFILE-wal when present)")
        ->check(CLI::ExistingFile);
    cmd->add_option("--journal", companions->journalPath,
                    "The rollback journal to search (default: DBFILE-journal when present)")
        ->check(CLI::ExistingFile);
    cmd->callback([&ctx, path, json, companions] {
        configureLog(ctx);
        carve::deep::DeepScanCompanions used = *companions;
        // The companions SQLite itself would pick up, unless named.
        std::error_code ec;
        if (used.walPath.empty() && std::filesystem::is_regular_file(*path + "-wal", ec))
            used.walPath = *path + "-wal";
        if (used.journalPath.empty() && std::filesystem::is_regular_file(*path + "-journal", ec))
            used.journalPath = *path + "-journal";
        const auto result = carve::deep::deepScanFile(*path, used);
        if (result.error != DeepScanError::None) {
            ctx.err << "carve: " << *path << ": " << errorText(result.error) << '\n';
            ctx.exitCode = 1;
            return;
        }
        for (const std::string* companion : {&used.walPath, &used.journalPath})
            if (!companion->empty()) ctx.err << "carve: also searching " << *companion << '\n';
        for (const auto& note : result.notes) ctx.err << "carve: " << note << '\n';
        for (const auto& row : result.rows) {
            const carve::deep::TableSchema* schema = nullptr;
            for (const auto& t : result.tables)
                if (t.name == row.table && t.columns.size() == row.values.size()) schema = &t;
            printRow(ctx.out, row, schema, *json);
        }
        if (!*json)
            ctx.err << result.rows.size() << " deleted rows recovered (" << result.liveRows
                    << " live rows skipped)\n";
    });
}

}  // namespace marlowen::cli
