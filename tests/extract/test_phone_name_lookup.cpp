#include <gtest/gtest.h>

#include "core/extract/value_conversions.h"

namespace marlowen {
namespace {

ContactNodePtr person(std::string name, std::string phones) {
    auto c = std::make_shared<ZNContactNode>();
    c->setContactName(std::move(name));
    c->setContactPhone(std::move(phones));
    return c;
}

// The remembering lookup must answer exactly what the plain one answers,
// also after the list grows.
TEST(PhoneNameLookup, AnswersLikeThePlainLookup) {
    std::vector<ContactNodePtr> contacts{person("NoPhone", ""), person("Ann", " +1 (555) 010-2233"),
                                         person("Bo", " 555-0100 555-0101"),
                                         person("Mail", " ABC@Example.com")};
    const std::vector<std::string> numbers{
        "5550102233", "+15550102233", "555 0100", "0100555", "abc@example.COM",
        "",           " - () ",       "999",      "0101"};
    PhoneNameLookup lookup;
    for (int round = 0; round < 2; ++round) {
        for (const std::string& n : numbers)
            EXPECT_EQ(lookup.find(n, contacts), getNameByPhoneNumber(n, contacts)) << n;
        contacts.push_back(person("Late", " 999"));
    }
}

}  // namespace
}  // namespace marlowen

namespace marlowen {
namespace {

// Random digit texts over a small alphabet make many overlapping and
// repeated pieces: the indexed search must still find the first contact.
TEST(PhoneNameLookup, AgreesWithThePlainLookupOnRandomNumbers) {
    unsigned state = 12345;
    auto next = [&state] { return state = state * 1103515245u + 12345u; };
    auto digits = [&](std::size_t n) {
        std::string s;
        for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('0' + (next() >> 16) % 3);
        return s;
    };
    std::vector<ContactNodePtr> contacts;
    for (int i = 0; i < 200; ++i)
        contacts.push_back(person("c" + std::to_string(i), " " + digits(9) + " " + digits(11)));
    PhoneNameLookup lookup;
    for (int i = 0; i < 2000; ++i) {
        const std::string number = digits(1 + (next() >> 16) % 14);
        ASSERT_EQ(lookup.find(number, contacts), getNameByPhoneNumber(number, contacts)) << number;
    }
}

}  // namespace
}  // namespace marlowen
