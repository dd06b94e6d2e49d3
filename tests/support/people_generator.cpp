#include "support/people_generator.h"

#include <array>
#include <span>
#include <string_view>

namespace marlowen::fixture {
namespace {

struct Name {
    std::string_view text;
    std::string_view ascii;
};

constexpr std::array<Name, 24> kLatinFirst{{
    {"Ann", "ann"},         {"Bo", "bo"},         {"Carl", "carl"},     {"Dana", "dana"},
    {"Edward", "edward"},   {"Fiona", "fiona"},   {"George", "george"}, {"Hannah", "hannah"},
    {"Ian", "ian"},         {"Julia", "julia"},   {"Kevin", "kevin"},   {"Laura", "laura"},
    {"Martin", "martin"},   {"Nora", "nora"},     {"Oliver", "oliver"}, {"Paula", "paula"},
    {"Quentin", "quentin"}, {"Rachel", "rachel"}, {"Simon", "simon"},   {"Tara", "tara"},
    {"Victor", "victor"},   {"Wendy", "wendy"},   {"Yusuf", "yusuf"},   {"Zoe", "zoe"},
}};

constexpr std::array<Name, 20> kLatinLast{{
    {"Lee", "lee"},         {"Hart", "hart"},           {"Becker", "becker"},
    {"Okafor", "okafor"},   {"Brandt", "brandt"},       {"Morgan", "morgan"},
    {"Fischer", "fischer"}, {"Walsh", "walsh"},         {"Ramirez", "ramirez"},
    {"Novak", "novak"},     {"Sato", "sato"},           {"Kowalski", "kowalski"},
    {"Hughes", "hughes"},   {"Lindqvist", "lindqvist"}, {"Patel", "patel"},
    {"Rossi", "rossi"},     {"Dubois", "dubois"},       {"Jensen", "jensen"},
    {"Murphy", "murphy"},   {"Silva", "silva"},
}};

constexpr std::array<Name, 10> kAccentedFirst{{
    {"José", "jose"},
    {"Zoë", "zoe"},
    {"François", "francois"},
    {"Łukasz", "lukasz"},
    {"Åsa", "asa"},
    {"Chloé", "chloe"},
    {"Søren", "soren"},
    {"Inés", "ines"},
    {"Jürgen", "jurgen"},
    {"Ágnes", "agnes"},
}};

constexpr std::array<Name, 10> kAccentedLast{{
    {"Núñez", "nunez"},
    {"Müller", "muller"},
    {"Østergaard", "ostergaard"},
    {"Fontaine-Lefèvre", "fontaine"},
    {"Wójcik", "wojcik"},
    {"Çelik", "celik"},
    {"Nørgaard", "norgaard"},
    {"Szabó", "szabo"},
    {"García", "garcia"},
    {"Håkansson", "hakansson"},
}};

constexpr std::array<Name, 8> kCjkFamily{{
    {"王", "wang"},
    {"李", "li"},
    {"张", "zhang"},
    {"陈", "chen"},
    {"佐藤", "sato"},
    {"鈴木", "suzuki"},
    {"高橋", "takahashi"},
    {"김", "kim"},
}};

constexpr std::array<Name, 8> kCjkGiven{{
    {"伟", "wei"},
    {"芳", "fang"},
    {"秀英", "xiuying"},
    {"静", "jing"},
    {"花子", "hanako"},
    {"健太", "kenta"},
    {"美咲", "misaki"},
    {"민준", "minjun"},
}};

constexpr std::array<Name, 8> kCyrillicFirst{{
    {"Иван", "ivan"},
    {"Ольга", "olga"},
    {"Дмитрий", "dmitry"},
    {"Анна", "anna"},
    {"Сергей", "sergey"},
    {"Мария", "maria"},
    {"Алексей", "alexey"},
    {"Наталья", "natalya"},
}};

constexpr std::array<Name, 8> kCyrillicLast{{
    {"Петров", "petrov"},
    {"Смирнова", "smirnova"},
    {"Иванов", "ivanov"},
    {"Кузнецова", "kuznetsova"},
    {"Попов", "popov"},
    {"Соколова", "sokolova"},
    {"Лебедев", "lebedev"},
    {"Новикова", "novikova"},
}};

constexpr std::array<std::string_view, 10> kCompanies{
    "Harbour Works", "Northwind Freight", "Blue Fern Studio", "Okafor Builders", "Riverside Clinic",
    "Lumen Labs",    "Grey Owl Books",    "Kestrel Air",      "Maple & Stone",   "City Library"};

constexpr std::array<std::string_view, 8> kDepartments{
    "Design", "Sales", "Accounts", "Research", "Support", "Logistics", "Legal", "Marketing"};

constexpr std::array<std::string_view, 8> kJobTitles{"Engineer", "Manager", "Nurse", "Architect",
                                                     "Teacher",  "Analyst", "Pilot", "Librarian"};

constexpr std::array<std::string_view, 8> kNotes{
    "Met at the harbour festival.",
    "Prefers e-mail over calls; answers late in the evening.",
    "Gate code 4711, second door on the left, ring twice and wait for the buzzer.",
    "Allergic to peanuts",
    "Neighbour, has the spare key",
    "Knows a good mechanic in town, ask about the winter tyres before November.",
    "Rückruf wegen Angebot",
    "Coffee on Fridays",
};

constexpr std::array<std::string_view, 10> kStreets{
    "Quay Street",  "Mill Lane",  "Station Road", "Church Walk", "Orchard Way",
    "Harbour View", "Elm Avenue", "King's Row",   "Bergstraße",  "Rue des Lilas"};

constexpr std::array<std::string_view, 8> kCities{"Portmouth",  "Oakford",     "Lindenau",
                                                  "Westbridge", "Saint-Aubin", "Millbrook",
                                                  "Eastham",    "Kingsport"};

constexpr std::array<std::string_view, 24> kMessages{"Are we still on for lunch?",
                                                     "Running ten minutes late, sorry!",
                                                     "Can you pick up milk on the way home?",
                                                     "Happy birthday! 🎉",
                                                     "Call me when you land",
                                                     "Thanks, see you tomorrow",
                                                     "Where did you park?",
                                                     "OK",
                                                     "Got it 👍",
                                                     "The meeting moved to 3 pm",
                                                     "Did you feed the cat?",
                                                     "Train is delayed again",
                                                     "Merci pour hier soir !",
                                                     "Bis später",
                                                     "¿Vienes a la cena?",
                                                     "晚上一起吃饭吗？",
                                                     "Увидимся завтра",
                                                     "Don't forget the tickets",
                                                     "Photo from the weekend",
                                                     "Leaving now",
                                                     "Can I borrow your ladder on Saturday?",
                                                     "Good luck with the exam",
                                                     "Parcel arrived",
                                                     "Let's talk tonight"};

template <typename T, std::size_t N>
const T& pickFrom(SeededRandom& random, const std::array<T, N>& items) {
    return random.pick(std::span<const T>(items));
}

}  // namespace

GeneratedPerson PeopleGenerator::nextPerson() {
    GeneratedPerson out;
    PersonSpec& p = out.plan;
    const auto script = random_.below(100);
    if (script < 70) {
        const Name& first = pickFrom(random_, kLatinFirst);
        const Name& last = pickFrom(random_, kLatinLast);
        p.first = first.text;
        p.last = last.text;
        out.handle = std::string(first.ascii) + "." + std::string(last.ascii);
        if (random_.percent(8)) p.nickname = p.first.substr(0, 3);
    } else if (script < 82) {
        const Name& first = pickFrom(random_, kAccentedFirst);
        const Name& last = pickFrom(random_, kAccentedLast);
        p.first = first.text;
        p.last = last.text;
        out.handle = std::string(first.ascii) + "." + std::string(last.ascii);
    } else if (script < 91) {
        const Name& family = pickFrom(random_, kCjkFamily);
        const Name& given = pickFrom(random_, kCjkGiven);
        p.first = given.text;
        p.last = family.text;
        p.firstSortLanguageIndex = p.lastSortLanguageIndex = 2;
        out.handle = std::string(family.ascii) + "." + std::string(given.ascii);
    } else {
        const Name& first = pickFrom(random_, kCyrillicFirst);
        const Name& last = pickFrom(random_, kCyrillicLast);
        p.first = first.text;
        p.last = last.text;
        p.firstSortLanguageIndex = p.lastSortLanguageIndex = 1;
        out.handle = std::string(first.ascii) + "." + std::string(last.ascii);
    }
    if (random_.percent(10))
        p.middle = std::string(1, static_cast<char>('A' + random_.below(26))) + ".";
    if (random_.percent(30)) {
        p.organization = pickFrom(random_, kCompanies);
        if (random_.percent(50)) p.department = pickFrom(random_, kDepartments);
        if (random_.percent(60)) p.jobTitle = pickFrom(random_, kJobTitles);
    }
    if (random_.percent(12)) p.note = pickFrom(random_, kNotes);
    if (random_.percent(20))
        p.birthday = utc(static_cast<int>(random_.between(1950, 2005)),
                         static_cast<unsigned>(random_.between(1, 12)),
                         static_cast<unsigned>(random_.between(1, 28)));
    p.created = kDefaultRecordTime - std::chrono::seconds(random_.between(0, 3 * 365 * 86400));
    p.modified = p.created + std::chrono::seconds(random_.between(0, 90 * 86400));
    return out;
}

std::string PeopleGenerator::phoneNumber() {
    // 555-0100 to 555-0199 are reserved for fiction; area codes vary.
    const std::string area = std::to_string(random_.between(201, 989));
    const std::string line = "01" + std::to_string(random_.between(10, 99));
    switch (random_.below(4)) {
        case 0:
            return "+1 (" + area + ") 555-" + line;
        case 1:
            return "(" + area + ") 555-" + line;
        case 2:
            return "+1" + area + "555" + line;
        default:
            return area + "-555-" + line;
    }
}

std::string PeopleGenerator::email(const GeneratedPerson& person) {
    constexpr std::array<std::string_view, 3> domains{"example.com", "example.org", "example.net"};
    return person.handle + "@" + std::string(pickFrom(random_, domains));
}

std::string PeopleGenerator::url(const GeneratedPerson& person) {
    return "http://www.example.com/~" + person.handle;
}

PostalAddress PeopleGenerator::postalAddress() {
    PostalAddress a;
    a.street =
        std::to_string(random_.between(1, 250)) + " " + std::string(pickFrom(random_, kStreets));
    a.city = pickFrom(random_, kCities);
    a.zip = std::to_string(random_.between(10000, 99999));
    a.country = "United States";
    a.countryCode = "us";
    return a;
}

std::string PeopleGenerator::messageText() {
    std::string text(pickFrom(random_, kMessages));
    if (random_.percent(30)) text += " (" + std::to_string(random_.between(1, 99)) + ")";
    return text;
}

}  // namespace marlowen::fixture
