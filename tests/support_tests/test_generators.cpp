// The small generators every fixture relies on for stable, plausible bytes.
#include <gtest/gtest.h>

#include <set>

#include "support/people_generator.h"
#include "support/seeded_random.h"
#include "support/sort_key.h"
#include "support/typed_stream.h"

namespace marlowen::fixture {
namespace {

TEST(SeededRandom, FollowsTheSplitMix64ReferenceSequence) {
    // Fixture bytes must not change between machines or library versions.
    SeededRandom random(0);
    EXPECT_EQ(random.next(), 0xE220A8397B1DCDAFull);
    EXPECT_EQ(random.next(), 0x6E789E6AA1B965F4ull);
    EXPECT_EQ(seedFromText(""), 0xCBF29CE484222325ull);
}

TEST(SeededRandom, UuidsAreUpperCase36Characters) {
    SeededRandom random(7);
    std::string uuid = random.uuid();
    ASSERT_EQ(uuid.size(), 36u);
    for (std::size_t i : {8u, 13u, 18u, 23u}) EXPECT_EQ(uuid[i], '-');
    EXPECT_EQ(uuid.find_first_of("abcdef"), std::string::npos);
    EXPECT_NE(uuid, random.uuid());
}

TEST(SortKey, SectionsFollowTheFirstLetter) {
    EXPECT_EQ(sortSection("ann"), "A");
    EXPECT_EQ(sortSection("Élodie"), "E");
    EXPECT_EQ(sortSection("Østergaard"), "O");
    EXPECT_EQ(sortSection("Łukasz"), "L");
    EXPECT_EQ(sortSection("王"), "#");
    EXPECT_EQ(sortSection("Ольга"), "#");
    EXPECT_EQ(sortSection("42 Club"), "#");
    EXPECT_EQ(sortSection(""), "#");
}

TEST(SortKey, KeysFoldCaseAndSkipEmptyParts) {
    EXPECT_EQ(sortKey({"Ann", "", "Lee"}), sortKey({"aNN", "lee"}));
    EXPECT_NE(sortKey({"Ann", "Lee"}), sortKey({"Lee", "Ann"}));
    EXPECT_EQ(sortKey({"王", "伟"}), "王 伟");
    EXPECT_EQ(sortKey({}), "");
}

TEST(TypedStream, BodyHoldsTheTextAndNeedsATwoByteSerialType) {
    Bytes blob = attributedBodyBlob("Hi");
    EXPECT_GE(blob.size(), 58u) << "serial type 2n+12 >= 128 takes two varint bytes";
    EXPECT_LE(blob.size(), 569u) << "first varint byte stays within 0x81..0x88";
    EXPECT_EQ(std::string(blob.begin() + 2, blob.begin() + 13), "streamtyped");
    EXPECT_TRUE(containsBytes(blob, "NSAttributedString"));
    EXPECT_TRUE(containsBytes(blob, Bytes{0x2B, 0x02, 'H', 'i'}));
    std::string longText(300, 'x');
    EXPECT_TRUE(containsBytes(attributedBodyBlob(longText), Bytes{0x2B, 0x81, 0x2C, 0x01, 'x'}));
}

TEST(PeopleGenerator, IsDeterministicAndVaried) {
    PeopleGenerator a(5), b(5);
    std::set<std::string> names;
    bool cjk = false, cyrillic = false, accented = false;
    for (int i = 0; i < 300; ++i) {
        GeneratedPerson p = a.nextPerson();
        GeneratedPerson q = b.nextPerson();
        ASSERT_EQ(p.plan.first, q.plan.first);
        ASSERT_EQ(p.handle, q.handle);
        names.insert(p.plan.first + " " + p.plan.last);
        cjk |= p.plan.firstSortLanguageIndex == 2;
        cyrillic |= p.plan.firstSortLanguageIndex == 1;
        accented |= p.plan.firstSortLanguageIndex == 0 &&
                    (p.plan.first + p.plan.last).find_first_of("\xC3\xC5") != std::string::npos;
        for (char c : p.handle) ASSERT_LT(static_cast<unsigned char>(c), 0x80) << p.handle;
        std::string phone = a.phoneNumber();
        b.phoneNumber();
        EXPECT_NE(phone.find("555"), std::string::npos) << phone;
    }
    EXPECT_GT(names.size(), 150u);
    EXPECT_TRUE(cjk && cyrillic && accented);
}

}  // namespace
}  // namespace marlowen::fixture
