#include "support/bulk_fixture.h"

#include <vector>

#include "support/people_generator.h"

namespace marlowen::fixture {
namespace {

// How many multi-values contact `index` gets so that `total` are spread
// evenly over `count` contacts.
std::int64_t valuesFor(std::int64_t index, std::int64_t count, std::int64_t total) {
    if (count <= 0) return 0;
    return total / count + (index % count < total % count ? 1 : 0);
}

void addValue(AddressBookBuilder& book, PeopleGenerator& people, std::int64_t rowid,
              const GeneratedPerson& person, std::int64_t nth) {
    // The first value is a phone, the second an e-mail; then a mix.
    const auto kind = nth == 0 ? 0 : nth == 1 ? 60 : people.random().below(100);
    if (kind < 55)
        book.addPhone(rowid, people.phoneNumber(),
                      people.random().percent(70) ? label::kMobile : label::kHome);
    else if (kind < 85)
        book.addEmail(rowid, people.email(person),
                      people.random().percent(60) ? label::kHome : label::kWork);
    else if (kind < 93)
        book.addUrl(rowid, people.url(person));
    else
        book.addPostalAddress(rowid, people.postalAddress());
}

}  // namespace

BulkAddressBookResult writeBulkAddressBook(const std::filesystem::path& path,
                                           const BulkAddressBookSpec& plan,
                                           AddressBookOptions options) {
    AddressBookBuilder book(path, options);
    PeopleGenerator people(plan.seed);
    BulkAddressBookResult result;
    std::vector<std::int64_t> rowids;
    book.begin();
    auto addContact = [&](std::int64_t index) {
        GeneratedPerson person = people.nextPerson();
        std::int64_t rowid = book.addPerson(person.plan);
        rowids.push_back(rowid);
        std::int64_t n = valuesFor(index, plan.contacts, plan.multiValues);
        for (std::int64_t v = 0; v < n; ++v) addValue(book, people, rowid, person, v);
        result.multiValues += n;
        ++result.contacts;
    };
    for (std::int64_t i = 0; i < plan.contacts; ++i) addContact(i);
    while (plan.minimumBytes > 0 && book.db().logicalSize() < plan.minimumBytes)
        for (int batch = 0; batch < 1000; ++batch) addContact(result.contacts);
    book.commit();

    if (plan.deletedPercent > 0) {
        SeededRandom pickDeleted(plan.seed ^ 0xDE1E7EDull);
        book.begin();
        for (std::int64_t rowid : rowids)
            if (pickDeleted.percent(static_cast<unsigned>(plan.deletedPercent)))
                result.deleted += book.deletePerson(rowid) ? 1 : 0;
        book.commit();
    }
    result.bytes = book.db().logicalSize();
    book.close();
    return result;
}

BulkMessagesResult writeBulkMessages(const std::filesystem::path& path,
                                     const BulkMessagesSpec& plan, MessageDbOptions options) {
    const bool iMessagePossible = options.layout != MessageLayout::Os5WithoutMadrid;
    MessageDbBuilder db(path, options);
    PeopleGenerator people(plan.seed);
    BulkMessagesResult result;
    const std::int64_t perConversation =
        plan.messagesPerConversation > 0 ? plan.messagesPerConversation : 1;
    const std::int64_t conversations = plan.messages / perConversation + 1;
    struct Other {
        std::string address;
        bool iMessage;
    };
    std::vector<Other> others;
    for (std::int64_t i = 0; i < conversations; ++i) {
        GeneratedPerson person = people.nextPerson();
        const bool iMessage = iMessagePossible && people.random().percent(15);
        others.push_back(
            {iMessage && people.random().percent(50) ? people.email(person) : people.phoneNumber(),
             iMessage});
    }
    result.conversations = conversations;
    Moment when = utc(2011, 1, 1, 8, 0);
    std::vector<std::int64_t> rowids;
    db.begin();
    for (std::int64_t i = 0; i < plan.messages; ++i) {
        const Other& other = others[people.random().below(others.size())];
        MessageSpec m;
        m.address = other.address;
        m.iMessage = other.iMessage;
        m.text = people.messageText();
        m.fromMe = people.random().percent(45);
        when += std::chrono::seconds(people.random().between(20, 4 * 3600));
        m.when = when;
        rowids.push_back(db.addMessage(m));
    }
    db.commit();
    result.messages = plan.messages;
    if (plan.deletedPercent > 0) {
        SeededRandom pickDeleted(plan.seed ^ 0xDE1E7EDull);
        db.begin();
        for (std::int64_t rowid : rowids)
            if (pickDeleted.percent(static_cast<unsigned>(plan.deletedPercent)))
                result.deleted += db.deleteMessage(rowid) ? 1 : 0;
        db.commit();
    }
    db.close();
    return result;
}

}  // namespace marlowen::fixture
