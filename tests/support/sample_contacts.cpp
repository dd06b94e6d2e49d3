#include "support/address_book_builder.h"
#include "support/sample_parts.h"

namespace marlowen::fixture::sample {
namespace {

struct Value {
    int property;
    const char* text;
    std::string_view labelText;
};

struct Contact {
    PersonSpec person;
    std::vector<Value> values;
    bool deleted = false;
};

PersonSpec person(const char* first, const char* last, Moment created) {
    PersonSpec p;
    p.first = first;
    p.last = last;
    p.created = created;
    p.modified = created + std::chrono::hours(30);
    return p;
}

std::vector<Contact> contacts() {
    std::vector<Contact> list;
    {
        Contact c{person("Ann", "Lee", utc(2011, 9, 2, 10, 0)), {}};
        c.person.organization = "Harbour Works";
        c.person.department = "Design";
        c.person.jobTitle = "Lead designer";
        c.values = {{property::kPhone, "+1 (555) 010-4477", label::kIPhone},
                    {property::kEmail, "ann.lee@example.com", label::kHome}};
        list.push_back(c);
    }
    list.push_back({person("Bo", "Østergaard", utc(2011, 9, 3, 18, 12)),
                    {{property::kPhone, "+1 (555) 010-2233", label::kMobile},
                     {property::kPhone, "(555) 010-2234", label::kHome},
                     {property::kEmail, "bo@example.net", label::kHome}}});
    list.push_back({person("Carmen", "Núñez", utc(2011, 11, 20, 9, 41)),
                    {{property::kPhone, "+1 (555) 010-3311", label::kMobile},
                     {property::kEmail, "carmen.nunez@example.org", label::kWork},
                     {property::kUrl, "http://www.example.org/carmen", label::kHomePage}}});
    {
        Contact c{person("David", "Okafor", utc(2012, 1, 8, 14, 5)), {}};
        c.person.organization = "Okafor Builders";
        c.person.jobTitle = "Site manager";
        // An address kept as one text, as records synced from elsewhere have it.
        c.values = {{property::kPhone, "+1 (555) 010-4100", label::kWork},
                    {property::kEmail, "david@okafor-builders.example", label::kWork},
                    {property::kAddress, "1 Dock Road, Portmouth", label::kWork}};
        list.push_back(c);
    }
    {
        Contact c{person("Élodie", "Fontaine", utc(2012, 2, 29, 20, 30)), {}};
        c.person.note =
            "Met at the harbour festival. Prefers e-mail over calls; answers late in the evening.";
        c.values = {{property::kPhone, "+1 (555) 010-5150", label::kMobile},
                    {property::kEmail, "elodie.fontaine@example.com", label::kHome}};
        list.push_back(c);
    }
    {
        Contact c{person("伟", "王", utc(2012, 4, 11, 7, 55)), {}};
        c.person.firstSortLanguageIndex = c.person.lastSortLanguageIndex = 2;
        c.values = {{property::kPhone, "+1 (555) 010-6688", label::kMobile}};
        list.push_back(c);
    }
    {
        Contact c{person("Ольга", "Смирнова", utc(2012, 5, 19, 16, 20)), {}};
        c.person.firstSortLanguageIndex = c.person.lastSortLanguageIndex = 1;
        c.values = {{property::kPhone, "+1 (555) 010-7722", label::kMobile},
                    {property::kEmail, "olga.smirnova@example.com", label::kHome}};
        list.push_back(c);
    }
    list.push_back({person("George", "Hart", utc(2012, 6, 2, 11, 11)),
                    {{property::kPhone, "+1 (555) 010-8181", label::kMobile},
                     {property::kPhone, "+1 (555) 010-8182", label::kWork},
                     {property::kUrl, "http://www.example.com/~ghart", label::kHomePage}},
                    true});
    {
        Contact c{person("Hannah", "Becker", utc(2012, 7, 7, 12, 0)), {}, true};
        c.person.birthday = utc(1984, 3, 14);
        c.values = {{property::kPhone, "+1 (555) 010-9090", label::kMobile},
                    {property::kEmail, "hannah.becker@example.net", label::kHome}};
        list.push_back(c);
    }
    list.push_back({person("Ivan", "Petrov", utc(2012, 8, 21, 19, 45)),
                    {{property::kPhone, "+1 (555) 010-1234", label::kMobile}}});
    {
        Contact c{person("Julia", "Brandt", utc(2012, 10, 1, 8, 30)), {}, true};
        c.person.organization = "Riverside Clinic";
        c.person.jobTitle = "Nurse";
        c.values = {{property::kPhone, "+1 (555) 010-1717", label::kMobile},
                    {property::kEmail, "julia.brandt@example.org", label::kWork}};
        list.push_back(c);
    }
    {
        Contact c{person("", "", utc(2012, 11, 15, 15, 15)), {}};
        c.person.organization = "Harbour Dental Practice";
        c.person.kind = 1;
        c.values = {{property::kPhone, "+1 (555) 010-1999", label::kMain},
                    {property::kUrl, "http://www.example.com/harbour-dental", label::kHomePage}};
        list.push_back(c);
    }
    return list;
}

std::string fullName(const PersonSpec& p) {
    if (p.first.empty() && p.last.empty()) return p.organization;
    if (p.first.empty() || p.last.empty()) return p.first + p.last;
    return p.first + " " + p.last;
}

}  // namespace

void writeContacts(const std::filesystem::path& database, SampleBackup& summary) {
    AddressBookBuilder book(database);
    std::vector<std::pair<std::int64_t, const Contact*>> toDelete;
    std::int64_t boRowid = 0;
    std::int64_t boHomePhone = 0;
    const std::vector<Contact> list = contacts();
    for (const Contact& c : list) {
        std::int64_t rowid = book.addPerson(c.person);
        if (c.person.first == "Bo") boRowid = rowid;
        for (const Value& v : c.values) {
            std::int64_t uid = book.addValue(rowid, v.property, v.text, v.labelText);
            if (std::string_view(v.text) == "(555) 010-2234") boHomePhone = uid;
        }
        if (c.person.first == "Carmen")
            book.addPostalAddress(
                rowid, {"12 Quay Street", "Portmouth", "ME", "04101", "United States", "us"});
        if (c.deleted)
            toDelete.emplace_back(rowid, &c);
        else
            summary.livePeople.push_back(fullName(c.person));
    }
    std::int64_t family = book.addGroup("Family");
    book.addToGroup(family, boRowid);
    // Deleted later, one at a time, the way a user removes them on the phone.
    for (const auto& [rowid, contact] : toDelete) {
        book.deletePerson(rowid);
        summary.deletedPeople.push_back(fullName(contact->person));
    }
    book.deleteValue(boHomePhone);
    book.close();
}

}  // namespace marlowen::fixture::sample
