#include "support/phone_stores.h"

#include <set>
#include <string_view>

#include "support/people_generator.h"

namespace marlowen::fixture {
namespace {

enum class Op { Add, Edit, Delete };

// The history of a store: half the records added first, then the other
// adds, the edits and the deletions mixed in random order, in transactions
// of 1 to 40 steps. An edit or deletion picks a random live record (an
// edited record may be deleted later); when none is left, the step adds.
template <typename Add, typename Edit, typename Delete>
void runHistory(SeededRandom& random, const PhoneStorePlan& plan, SqliteDb& db, Add&& add,
                Edit&& edit, Delete&& remove, std::vector<std::int64_t>& live,
                std::vector<bool>& editable) {
    std::int64_t adds = plan.records;
    std::int64_t edits = plan.records * plan.editedPercent / 100;
    std::int64_t deletes = plan.records * plan.deletedPercent / 100;
    auto pickLive = [&](bool forEdit) -> std::int64_t {
        for (int tries = 0; tries < 20 && !live.empty(); ++tries) {
            const std::size_t i = random.below(live.size());
            if (forEdit && !editable[i]) continue;
            const std::int64_t index = live[i];
            if (forEdit) {
                editable[i] = false;
            } else {
                live[i] = live.back();
                editable[i] = editable.back();
                live.pop_back();
                editable.pop_back();
            }
            return index;
        }
        return -1;
    };
    auto addOne = [&] {
        live.push_back(add());
        editable.push_back(true);
        --adds;
    };
    db.begin();
    for (std::int64_t i = 0, first = adds / 2; i < first; ++i) {
        addOne();
        if (i % 97 == 96) {
            db.commit();
            db.begin();
        }
    }
    db.commit();
    while (adds + edits + deletes > 0) {
        db.begin();
        for (std::int64_t step = random.between(1, 40); step > 0 && adds + edits + deletes > 0;
             --step) {
            const std::uint64_t r =
                random.below(static_cast<std::uint64_t>(adds + edits + deletes));
            const Op op = r < static_cast<std::uint64_t>(adds)           ? Op::Add
                          : r < static_cast<std::uint64_t>(adds + edits) ? Op::Edit
                                                                         : Op::Delete;
            std::int64_t index = op == Op::Add ? -1 : pickLive(op == Op::Edit);
            if (index < 0) {
                if (adds > 0)
                    addOne();
                else if (op == Op::Edit)
                    --edits;
                else
                    --deletes;
                continue;
            }
            if (op == Op::Edit) {
                edit(index);
                --edits;
            } else {
                remove(index);
                --deletes;
            }
        }
        db.commit();
    }
}

DbOptions dbOptions(const PhoneStorePlan& plan) {
    DbOptions options;
    options.pageSize = plan.pageSize;
    return options;
}

}  // namespace

std::string TruePerson::shownName() const {
    std::string name = first;
    if (!middle.empty()) name += " " + middle;
    if (!last.empty()) name += " " + last;
    return name;
}

std::vector<TruePerson> writePhoneAddressBook(const std::filesystem::path& path,
                                              const PhoneStorePlan& plan,
                                              AddressBookSchema schema) {
    AddressBookBuilder book(path, {dbOptions(plan), schema});
    PeopleGenerator people(plan.seed);
    SeededRandom random(plan.seed ^ 0x5EC0DD);
    std::vector<TruePerson> truth;
    std::vector<std::string> jobTitles;
    std::set<std::string> names, values;
    auto uniqueValue = [&](std::string value) {
        for (int n = 2; !values.insert(value).second; ++n) {
            const std::size_t at = value.find('@');
            value = at == std::string::npos ? value + std::to_string(n % 10)
                                            : value.insert(at, std::to_string(n % 10));
        }
        return value;
    };
    auto add = [&]() -> std::int64_t {
        GeneratedPerson person = people.nextPerson();
        TruePerson t;
        // First and last name pairs are unique (a record holds them side by
        // side, which tells whether its bytes survive): a name met before
        // gets another after a few tries, then a letter and number after
        // the first name.
        std::string firstName;
        for (int tries = 0;; ++tries) {
            if (tries == 20) firstName = person.plan.first;
            if (tries >= 20)
                person.plan.first = firstName + " " +
                                    std::string(1, static_cast<char>('A' + tries % 26)) +
                                    std::to_string(tries / 26);
            t.first = person.plan.first;
            t.middle = person.plan.middle;
            t.last = person.plan.last;
            if (names.insert(t.first + '\x1f' + t.last).second) break;
            if (tries < 20) person = people.nextPerson();
        }
        t.rowid = book.addPerson(person.plan);
        const std::int64_t count = random.between(1, 4);
        for (std::int64_t v = 0; v < count; ++v) {
            const auto kind = v == 0 ? 0 : random.below(10);
            std::string value;
            if (kind < 5) {
                value = uniqueValue(people.phoneNumber());
                book.addPhone(t.rowid, value);
            } else if (kind < 8) {
                value = uniqueValue(people.email(person));
                book.addEmail(t.rowid, value);
            } else {
                value = uniqueValue(people.url(person));
                book.addUrl(t.rowid, value);
            }
            t.values.push_back(value);
        }
        truth.push_back(std::move(t));
        jobTitles.push_back(person.plan.jobTitle);
        return static_cast<std::int64_t>(truth.size() - 1);
    };
    auto edit = [&](std::int64_t index) {
        // A longer job title and a later modification date: the record grows.
        std::string& title = jobTitles[static_cast<std::size_t>(index)];
        title =
            title.empty() ? "Senior Account Manager, Northern Region" : title + ", Northern Region";
        book.db().exec("UPDATE ABPerson SET JobTitle = '" + title +
                       "', ModificationDate = ModificationDate + 86400 WHERE ROWID = " +
                       std::to_string(truth[static_cast<std::size_t>(index)].rowid));
        truth[static_cast<std::size_t>(index)].fate = RecordFate::Edited;
    };
    auto remove = [&](std::int64_t index) {
        book.deletePerson(truth[static_cast<std::size_t>(index)].rowid);
        truth[static_cast<std::size_t>(index)].fate = RecordFate::Deleted;
    };
    std::vector<std::int64_t> live;
    std::vector<bool> editable;
    runHistory(random, plan, book.db(), add, edit, remove, live, editable);
    book.close();
    return truth;
}

std::vector<TrueMessage> writePhoneMessages(const std::filesystem::path& path,
                                            const PhoneStorePlan& plan) {
    MessageDbOptions options;
    options.db = dbOptions(plan);
    MessageDbBuilder db(path, options);
    PeopleGenerator people(plan.seed);
    SeededRandom random(plan.seed ^ 0x5EC0DD);
    std::vector<std::string> others;
    for (std::int64_t i = 0; i <= plan.records / 25; ++i) others.push_back(people.phoneNumber());
    std::vector<TrueMessage> truth;
    Moment when = utc(2012, 3, 1, 8, 0);
    auto add = [&]() -> std::int64_t {
        MessageSpec m;
        m.address = others[random.below(others.size())];
        m.text = people.messageText() + " #" + std::to_string(truth.size() + 1);
        m.fromMe = random.percent(45);
        when += std::chrono::seconds(random.between(20, 4 * 3600));
        m.when = when;
        truth.push_back({db.addMessage(m), m.text, m.address, RecordFate::Live});
        return static_cast<std::int64_t>(truth.size() - 1);
    };
    auto edit = [&](std::int64_t index) {
        // Delivered later: a delivery date and a service centre are filled in.
        TrueMessage& m = truth[static_cast<std::size_t>(index)];
        db.db().exec(
            "UPDATE message SET date_delivered = date + 3, service_center = '+15550100001' "
            "WHERE ROWID = " +
            std::to_string(m.rowid));
        m.fate = RecordFate::Edited;
    };
    auto remove = [&](std::int64_t index) {
        TrueMessage& m = truth[static_cast<std::size_t>(index)];
        db.deleteMessage(m.rowid);
        m.fate = RecordFate::Deleted;
    };
    std::vector<std::int64_t> live;
    std::vector<bool> editable;
    runHistory(random, plan, db.db(), add, edit, remove, live, editable);
    db.close();
    return truth;
}

std::vector<TrueCall> writePhoneCalls(const std::filesystem::path& path,
                                      const PhoneStorePlan& plan) {
    CallDbBuilder db(path, {dbOptions(plan), CallColumns::Thirteen});
    PeopleGenerator people(plan.seed);
    SeededRandom random(plan.seed ^ 0x5EC0DD);
    std::vector<std::string> others;
    for (std::int64_t i = 0; i <= plan.records / 8; ++i) others.push_back(people.phoneNumber());
    std::vector<TrueCall> truth;
    Moment when = utc(2012, 3, 1, 8, 0);
    auto add = [&]() -> std::int64_t {
        CallSpec c;
        c.address = others[random.below(others.size())];
        when += std::chrono::seconds(random.between(60, 8 * 3600));
        c.when = when;
        c.duration = random.percent(25) ? 0 : random.between(5, 3600);
        c.flags = random.percent(50) ? call_flags::kIncoming : call_flags::kOutgoing;
        c.read = false;
        truth.push_back({db.addCall(c), c.address, secondsSince1970(c.when), RecordFate::Live});
        return static_cast<std::int64_t>(truth.size() - 1);
    };
    auto edit = [&](std::int64_t index) {
        // The caller was saved as a contact and the call seen: a name and
        // the read flag are filled in.
        TrueCall& c = truth[static_cast<std::size_t>(index)];
        db.db().exec("UPDATE call SET name = 'Northern Region Office', read = 1 WHERE ROWID = " +
                     std::to_string(c.rowid));
        c.fate = RecordFate::Edited;
    };
    auto remove = [&](std::int64_t index) {
        TrueCall& c = truth[static_cast<std::size_t>(index)];
        db.deleteCall(c.rowid);
        c.fate = RecordFate::Deleted;
    };
    std::vector<std::int64_t> live;
    std::vector<bool> editable;
    runHistory(random, plan, db.db(), add, edit, remove, live, editable);
    db.close();
    return truth;
}

}  // namespace marlowen::fixture
