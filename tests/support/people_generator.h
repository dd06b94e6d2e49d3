// Deterministic, plausible contact data for bulk fixtures: names from
// several scripts (plain and accented Latin, CJK, Cyrillic), phone numbers
// in the reserved 555-01xx range, addresses at example domains.
#pragma once

#include <cstdint>
#include <string>

#include "support/address_book_builder.h"
#include "support/seeded_random.h"

namespace marlowen::fixture {

struct GeneratedPerson {
    PersonSpec plan;
    // ASCII form of the name for e-mail and web addresses ("wang.wei").
    std::string handle;
};

class PeopleGenerator {
public:
    explicit PeopleGenerator(std::uint64_t seed) : random_(seed) {}

    // About 70 % plain Latin names, 12 % accented Latin, 9 % Chinese or
    // Japanese, 9 % Cyrillic; some with company, job title, note or birthday.
    // The sort-key language index is 0 for Latin, 1 for Cyrillic, 2 for CJK.
    GeneratedPerson nextPerson();

    std::string phoneNumber();
    std::string email(const GeneratedPerson& person);
    std::string url(const GeneratedPerson& person);
    PostalAddress postalAddress();
    // A short message text, sometimes with non-ASCII characters.
    std::string messageText();

    SeededRandom& random() { return random_; }

private:
    SeededRandom random_;
};

}  // namespace marlowen::fixture
