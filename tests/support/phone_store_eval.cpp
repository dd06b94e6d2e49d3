#include "support/phone_store_eval.h"

#include <sqlite3.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <unordered_map>

#include "core/deep_mapping/deep_records.h"
#include "core/extract/value_conversions.h"
#include "core/sqlite/page_reader.h"
#include "support/file_bytes.h"

namespace marlowen::fixture {
namespace {

using Clock = std::chrono::steady_clock;

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// SQLite reading every column of every row of every table.
double sqliteFullRead(const std::filesystem::path& path) {
    const auto start = Clock::now();
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        std::vector<std::string> tables;
        sqlite3_exec(
            db, "SELECT name FROM sqlite_master WHERE type = 'table'",
            [](void* out, int, char** v, char**) {
                static_cast<std::vector<std::string>*>(out)->emplace_back(v[0] ? v[0] : "");
                return 0;
            },
            &tables, nullptr);
        for (const std::string& t : tables) {
            sqlite3_stmt* stmt = nullptr;
            const std::string sql = "SELECT * FROM \"" + t + "\"";
            if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) continue;
            volatile std::int64_t sum = 0;
            while (sqlite3_step(stmt) == SQLITE_ROW)
                for (int c = 0; c < sqlite3_column_count(stmt); ++c)
                    sum = sum + sqlite3_column_bytes(stmt, c);
            sqlite3_finalize(stmt);
        }
    }
    sqlite3_close(db);
    return secondsSince(start);
}

// The deep scan of `path` with the live rows read from the file itself.
struct Scan {
    carve::PageReader file;
    carve::deep::DeepScanResult found;
    sqlite3* live = nullptr;
    double seconds = 0;
    explicit Scan(const std::filesystem::path& path) {
        const auto start = Clock::now();
        file.open(path.string());
        found = carve::deep::deepScan(file);
        seconds = secondsSince(start);
        sqlite3_open_v2(path.c_str(), &live, SQLITE_OPEN_READONLY, nullptr);
    }
    ~Scan() { sqlite3_close(live); }
    Scan(const Scan&) = delete;
    Scan& operator=(const Scan&) = delete;
};

void noteWrong(StoreScore& score, std::string what) {
    ++score.wrong;
    if (score.wrongExamples.size() < 8) score.wrongExamples.push_back(std::move(what));
}

}  // namespace

StoreScore scoreAddressBook(const std::filesystem::path& db, const std::vector<TruePerson>& truth) {
    StoreScore score;
    const std::string bytes = fileText(db);
    std::unordered_map<std::string, std::size_t> byName, byValue;
    for (std::size_t i = 0; i < truth.size(); ++i) {
        byName.emplace(truth[i].shownName(), i);
        for (const std::string& v : truth[i].values) byValue.emplace(v, i);
        if (truth[i].fate != RecordFate::Deleted) continue;
        ++score.deleted;
        // A person record holds First and Last side by side.
        if (bytes.find(truth[i].first + truth[i].last) != std::string::npos) ++score.surviving;
    }
    Scan scan(db);
    const auto start = Clock::now();
    const std::vector<ContactNodePtr> nodes = carve::deep::deletedContacts(
        scan.found, carve::deep::liveRowsOf(scan.live), &scan.file, nullptr);
    score.scanSeconds = scan.seconds + secondsSince(start);
    score.sqliteSeconds = sqliteFullRead(db);

    std::set<std::string> sortedValues;
    for (const auto& [value, owner] : byValue) sortedValues.insert(value);
    std::set<std::string> sortedNames;
    for (const auto& [name, index] : byName) sortedNames.insert(name);
    std::set<std::size_t> named, unnamed, surviving;
    for (std::size_t i = 0; i < truth.size(); ++i)
        if (truth[i].fate == RecordFate::Deleted &&
            bytes.find(truth[i].first + truth[i].last) != std::string::npos)
            surviving.insert(i);
    for (const ContactNodePtr& node : nodes) {
        // A field lists its values each after one blank; values are unique,
        // so the field parses back value by value.
        std::set<std::size_t> owners;
        bool unknown = false;
        for (const std::string* field :
             {&node->contactPhone(), &node->contactEmail(), &node->contactHomepage()}) {
            std::size_t at = 0;
            while (at < field->size()) {
                std::size_t end = at + 1;
                std::size_t owner = truth.size();
                for (; end <= field->size(); ++end) {
                    if (end != field->size() && (*field)[end] != ' ') continue;
                    auto it = byValue.find(field->substr(at + 1, end - at - 1));
                    if (it != byValue.end()) {
                        owner = it->second;
                        break;
                    }
                }
                if (owner == truth.size()) {
                    // A value cut short (its record lost its tail) is the
                    // start of a value: it names no owner and is no error.
                    end = field->find(' ', at + 1);
                    if (end == std::string::npos) end = field->size();
                    const std::string part = field->substr(at + 1, end - at - 1);
                    auto it = sortedValues.lower_bound(part);
                    if (part.empty() || it == sortedValues.end() || !it->starts_with(part)) {
                        unknown = true;
                        break;
                    }
                    at = end;
                    continue;
                }
                owners.insert(owner);
                at = end;
            }
        }
        const std::string& name = node->contactName();
        auto describe = [&] {
            return "\"" + name + "\" [" + node->contactPhone() + " |" + node->contactEmail() +
                   " |" + node->contactHomepage() + "]";
        };
        if (unknown) {
            noteWrong(score, "values no person had: " + describe());
            continue;
        }
        if (!name.empty()) {
            auto it = byName.find(name);
            if (it == byName.end()) {
                // A name cut short: the one person whose name starts so, if
                // deleted, is found without the rest of the name.
                auto from = sortedNames.lower_bound(name);
                auto to = from;
                while (to != sortedNames.end() && to->starts_with(name)) ++to;
                const bool one = from != to && std::next(from) == to;
                if (one && truth[byName.at(*from)].fate == RecordFate::Deleted &&
                    (owners.empty() || *owners.begin() == byName.at(*from)) && owners.size() <= 1)
                    unnamed.insert(byName.at(*from));
                else
                    noteWrong(score, "a name no person had: " + describe());
            } else if (truth[it->second].fate != RecordFate::Deleted) {
                noteWrong(score, "a live person listed: " + describe());
            } else if (owners.size() > 1 || (owners.size() == 1 && *owners.begin() != it->second)) {
                noteWrong(score, "another person's values: " + describe());
            } else {
                named.insert(it->second);
            }
            continue;
        }
        if (owners.empty()) continue;
        if (owners.size() > 1)
            noteWrong(score, "several people's values in one entry: " + describe());
        else if (truth[*owners.begin()].fate != RecordFate::Deleted)
            noteWrong(score, "a live person's values listed: " + describe());
        else
            unnamed.insert(*owners.begin());
    }
    score.foundNamed = static_cast<std::int64_t>(named.size());
    for (std::size_t i : surviving)
        if (!named.count(i) && score.missedExamples.size() < 8)
            score.missedExamples.push_back(truth[i].shownName());
    for (std::size_t i : unnamed) score.foundUnnamed += named.count(i) ? 0 : 1;
    return score;
}

StoreScore scoreMessages(const std::filesystem::path& db, const std::vector<TrueMessage>& truth) {
    StoreScore score;
    const std::string bytes = fileText(db);
    std::unordered_map<std::string, std::size_t> byText;
    for (std::size_t i = 0; i < truth.size(); ++i) {
        byText.emplace(truth[i].text, i);
        if (truth[i].fate != RecordFate::Deleted) continue;
        ++score.deleted;
        // The exact text, not a longer one it begins: texts end in their
        // number ("... #3"), so "#3" found inside "#31" does not count.
        const std::string& text = truth[i].text;
        for (std::size_t at = bytes.find(text); at != std::string::npos;
             at = bytes.find(text, at + 1)) {
            const std::size_t end = at + text.size();
            if (end == bytes.size() || bytes[end] < '0' || bytes[end] > '9') {
                ++score.surviving;
                break;
            }
        }
    }
    Scan scan(db);
    const auto start = Clock::now();
    const std::vector<MessageNodePtr> nodes =
        carve::deep::deletedMessages(scan.found, carve::deep::liveRowsOf(scan.live), nullptr, true);
    score.scanSeconds = scan.seconds + secondsSince(start);
    score.sqliteSeconds = sqliteFullRead(db);
    std::set<std::string> sortedTexts;
    for (const TrueMessage& m : truth) sortedTexts.insert(m.text);
    std::set<std::size_t> found;
    for (const MessageNodePtr& node : nodes) {
        auto it = byText.find(node->messageContent());
        const std::string what = "\"" + node->messageContent() + "\" " + node->messagePhone();
        if (it == byText.end()) {
            // A message whose text was lost or cut short is no listing of
            // another's.
            const std::string& text = node->messageContent();
            auto next = sortedTexts.lower_bound(text);
            if (!text.empty() && (next == sortedTexts.end() || !next->starts_with(text)))
                noteWrong(score, "a text no message had: " + what);
        } else if (truth[it->second].fate != RecordFate::Deleted) {
            noteWrong(score, "a live message listed: " + what);
        } else if (!node->messagePhone().empty() &&
                   node->messagePhone() != truth[it->second].address) {
            noteWrong(score, "another conversation's address: " + what);
        } else {
            found.insert(it->second);
        }
    }
    score.foundNamed = static_cast<std::int64_t>(found.size());
    return score;
}

StoreScore scoreCalls(const std::filesystem::path& db, const std::vector<TrueCall>& truth) {
    StoreScore score;
    const std::string bytes = fileText(db);
    std::map<std::pair<std::string, std::string>, std::size_t> byCall;
    std::vector<std::size_t> survivingCalls;
    for (std::size_t i = 0; i < truth.size(); ++i) {
        byCall.emplace(std::pair{truth[i].address, formatRecordDate(truth[i].date, 0)}, i);
        if (truth[i].fate != RecordFate::Deleted) continue;
        ++score.deleted;
        // address, then date as a 4-byte big-endian integer.
        std::string record = truth[i].address;
        for (int shift = 24; shift >= 0; shift -= 8)
            record += static_cast<char>((truth[i].date >> shift) & 0xFF);
        if (bytes.find(record) != std::string::npos) {
            ++score.surviving;
            survivingCalls.push_back(i);
        }
    }
    Scan scan(db);
    const auto start = Clock::now();
    const std::vector<CallHistoryNodePtr> nodes = carve::deep::deletedCalls(scan.found, nullptr);
    score.scanSeconds = scan.seconds + secondsSince(start);
    score.sqliteSeconds = sqliteFullRead(db);
    std::set<std::size_t> found;
    for (const CallHistoryNodePtr& node : nodes) {
        auto it = byCall.find({node->callPhone(), node->callDate()});
        const std::string what = node->callPhone() + " " + node->callDate();
        if (it == byCall.end())
            noteWrong(score, "a call no one made: " + what);
        else if (truth[it->second].fate != RecordFate::Deleted)
            noteWrong(score, "a live call listed: " + what);
        else
            found.insert(it->second);
    }
    score.foundNamed = static_cast<std::int64_t>(found.size());
    for (std::size_t i : survivingCalls)
        if (!found.count(i) && score.missedExamples.size() < 8)
            score.missedExamples.push_back(truth[i].address + " " +
                                           formatRecordDate(truth[i].date, 0));
    return score;
}

}  // namespace marlowen::fixture
