#include "core/extract/typedstream.h"

#include <gtest/gtest.h>

namespace marlowen {
namespace {

using namespace std::string_literals;

const std::string kHeader("\x04\x0bstreamtyped\x81\xe8\x03\x84\x01\x40\x84\x84\x84", 20);
const std::string kPrefix =
    kHeader + "\x12NSAttributedString\x00\x84\x84\x08NSObject\x00\x85\x92\x84\x84\x84\x08"s +
    "NSString";
const std::string kMarker("\x01\x94\x84\x01\x2b", 5);

std::string archive(const std::string& length, const std::string& text) {
    return kPrefix + kMarker + length + text + std::string("\x86\x84\x02iI\x01\x0c\x92", 8);
}

TEST(Typedstream, ReadsTheTextOfEveryLengthWidth) {
    EXPECT_EQ(attributedBodyText(archive("\x0c", "Hello there!")), "Hello there!");
    EXPECT_EQ(attributedBodyText(archive(std::string("\x00", 1), "")), "");
    const std::string mid(300, 'a');
    EXPECT_EQ(attributedBodyText(archive(std::string("\x81\x2c\x01", 3), mid)), mid);
    const std::string big(70000, 'b');
    EXPECT_EQ(attributedBodyText(archive(std::string("\x82\x70\x11\x01\x00", 5), big)), big);
    EXPECT_EQ(attributedBodyText(archive("\x09", "caf\xC3\xA9 \xE2\x98\x95")),
              "caf\xC3\xA9 \xE2\x98\x95");
}

TEST(Typedstream, DamagedArchivesAreSkipped) {
    const std::string good = archive("\x05", "hello");
    EXPECT_EQ(attributedBodyText(""), std::nullopt);
    EXPECT_EQ(attributedBodyText("hello"), std::nullopt);
    // Wrong header, wrong marker, no NSString.
    EXPECT_EQ(attributedBodyText("\x04\x0cstreamtyped" + good.substr(13)), std::nullopt);
    std::string wrongMarker = good;
    wrongMarker[kPrefix.size() + 2] = '\x95';
    EXPECT_EQ(attributedBodyText(wrongMarker), std::nullopt);
    EXPECT_EQ(attributedBodyText(kHeader + "NSNumber" + kMarker +
                                 "\x01"
                                 "a"),
              std::nullopt);
    // Lengths past the end, cut short, or of an unused width.
    EXPECT_EQ(attributedBodyText(kPrefix + kMarker +
                                 "\x05"
                                 "hel"),
              std::nullopt);
    EXPECT_EQ(attributedBodyText(kPrefix + kMarker + "\x81\x05"), std::nullopt);
    EXPECT_EQ(attributedBodyText(kPrefix + kMarker +
                                 "\x82\xff\xff\xff\xff"
                                 "abc"),
              std::nullopt);
    EXPECT_EQ(attributedBodyText(kPrefix + kMarker +
                                 "\x83\x01\x00\x00\x00\x00\x00\x00\x00"
                                 "a"),
              std::nullopt);
    EXPECT_EQ(attributedBodyText(kPrefix + kMarker), std::nullopt);
    // Bytes that are no UTF-8 are never shown.
    EXPECT_EQ(attributedBodyText(archive("\x03",
                                         "a\xFF"
                                         "b")),
              std::nullopt);
    // Every cut of a good archive reads as its text or as nothing.
    for (size_t n = 0; n < good.size(); ++n) {
        const auto text = attributedBodyText(good.substr(0, n));
        EXPECT_TRUE(!text || *text == "hello") << n;
    }
}

}  // namespace
}  // namespace marlowen
