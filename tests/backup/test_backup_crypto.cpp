// Known answers for the primitives (RFC 6070 PBKDF2-HMAC-SHA1, RFC 3394
// section 4 key wrap) and the keybag reader's handling of damaged bags.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/backup/crypto.h"
#include "core/backup/keybag.h"

namespace marlowen {
namespace {

std::vector<std::uint8_t> hexBytes(std::string hex) {
    std::erase(hex, ' ');
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::span<const std::uint8_t> bytesOf(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::vector<std::uint8_t> toVector(const SecureBytes& b) {
    return {b.data(), b.data() + b.size()};
}

TEST(Pbkdf2, Rfc6070Vectors) {
    struct Case {
        std::string password, salt;
        std::uint32_t iterations;
        std::string expected;
    };
    const Case cases[] = {
        {"password", "salt", 1, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
        {"password", "salt", 2, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
        {"password", "salt", 4096, "4b007901b765489abead49d926f721d065a429c1"},
        {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096,
         "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
        {std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096,
         "56fa6aa75548099dcc37d7f03425e0c3"},
    };
    for (const Case& c : cases) {
        const auto expected = hexBytes(c.expected);
        const auto key = pbkdf2(Pbkdf2Hash::Sha1, bytesOf(c.password), bytesOf(c.salt),
                                c.iterations, expected.size());
        ASSERT_TRUE(key) << c.expected;
        EXPECT_EQ(toVector(*key), expected) << c.expected;
    }
    EXPECT_FALSE(pbkdf2(Pbkdf2Hash::Sha1, bytesOf("p"), bytesOf("s"), 0, 32));
}

TEST(AesKeyWrap, Rfc3394VectorsWith256BitKek) {
    const auto kek = hexBytes("000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F");
    struct Case {
        std::string key, wrapped;
    };
    const Case cases[] = {
        {"00112233445566778899AABBCCDDEEFF", "64E8C3F9CE0F5BA2 63E9777905818A2A 93C8191E7D6E8AE7"},
        {"00112233445566778899AABBCCDDEEFF0001020304050607",
         "A8F9BC1612C68B3F F6E6F4FBE30E71E4 769C8B80A32CB895 8CD5D17D6B254DA1"},
        {"00112233445566778899AABBCCDDEEFF000102030405060708090A0B0C0D0E0F",
         "28C9F404C4B810F4 CBCCB35CFB87F826 3F5786E2D80ED326 CBC7F0E71A99F43B FB988B9B7A02DD21"},
    };
    for (const Case& c : cases) {
        const auto key = hexBytes(c.key);
        const auto wrapped = hexBytes(c.wrapped);
        EXPECT_EQ(aesKeyWrap(kek, key), wrapped) << c.key;
        const auto unwrapped = aesKeyUnwrap(kek, wrapped);
        ASSERT_TRUE(unwrapped) << c.key;
        EXPECT_EQ(toVector(*unwrapped), key);
        // One flipped bit fails the integrity check: a wrong password.
        auto damaged = wrapped;
        damaged[5] ^= 1;
        EXPECT_FALSE(aesKeyUnwrap(kek, damaged)) << c.key;
    }
}

TEST(AesKeyWrap, RefusesWrongLengths) {
    const std::vector<std::uint8_t> kek(32, 7);
    const auto wrapped = *aesKeyWrap(kek, std::vector<std::uint8_t>(32, 1));
    EXPECT_FALSE(aesKeyUnwrap(std::vector<std::uint8_t>(16, 7), wrapped));
    EXPECT_FALSE(aesKeyUnwrap(kek, std::span(wrapped).first(39)));
    EXPECT_FALSE(aesKeyUnwrap(kek, std::span(wrapped).first(16)));
    EXPECT_FALSE(aesKeyUnwrap(kek, {}));
}

TEST(AesCbc, RoundTripsAndRejectsBadPaddingOrLength) {
    const std::vector<std::uint8_t> key(32, 3);
    for (std::size_t size : {0u, 1u, 15u, 16u, 17u, 4096u}) {
        std::vector<std::uint8_t> plain(size);
        for (std::size_t i = 0; i < size; ++i) plain[i] = static_cast<std::uint8_t>(i * 7);
        const auto cipher = aesCbcEncrypt(key, plain);
        EXPECT_EQ(cipher.size(), (size / 16 + 1) * 16);
        EXPECT_EQ(aesCbcDecrypt(key, cipher), plain) << size;
    }
    const auto cipher = aesCbcEncrypt(key, std::vector<std::uint8_t>(20, 1));
    EXPECT_FALSE(aesCbcDecrypt(key, std::span(cipher).first(31)));
    EXPECT_FALSE(aesCbcDecrypt(std::vector<std::uint8_t>(32, 4), cipher));
    EXPECT_FALSE(aesCbcDecrypt(std::vector<std::uint8_t>(31, 3), cipher));
}

// Keybag items: tag, 4-byte big-endian length, value.
struct BagWriter {
    std::vector<std::uint8_t> bytes;
    BagWriter& item(std::string_view tag, std::vector<std::uint8_t> value) {
        bytes.insert(bytes.end(), tag.begin(), tag.end());
        for (int s = 24; s >= 0; s -= 8)
            bytes.push_back(static_cast<std::uint8_t>(value.size() >> s));
        bytes.insert(bytes.end(), value.begin(), value.end());
        return *this;
    }
    BagWriter& integer(std::string_view tag, std::uint32_t v) {
        return item(tag, {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                          static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)});
    }
};

TEST(Keybag, ReadsHeaderAndClassesAndDerivesBothWays) {
    const std::string password = "secret";
    const std::vector<std::uint8_t> salt(20, 0x11), dpsl(20, 0x22);
    // The phone's two-step derivation, done here with the primitives.
    const auto first = *pbkdf2(Pbkdf2Hash::Sha256, bytesOf(password), dpsl, 5, 32);
    const auto passcode = *pbkdf2(Pbkdf2Hash::Sha1, first.span(), salt, 3, 32);
    const std::vector<std::uint8_t> classKey(32, 0x5A);
    BagWriter w;
    w.integer("VERS", 4).integer("TYPE", 1).item("UUID", std::vector<std::uint8_t>(16, 1));
    w.item("HMCK", std::vector<std::uint8_t>(40, 2)).integer("WRAP", 0).item("SALT", salt);
    w.integer("ITER", 3).integer("DPWT", 1).integer("DPIC", 5).item("DPSL", dpsl);
    w.item("UUID", std::vector<std::uint8_t>(16, 3)).integer("CLAS", 3).integer("WRAP", 3);
    w.integer("KTYP", 0).item("WPKY", *aesKeyWrap(passcode.span(), classKey));
    // A class wrapped by the device key only is skipped, not failed.
    w.item("UUID", std::vector<std::uint8_t>(16, 4)).integer("CLAS", 5).integer("WRAP", 1);
    w.item("WPKY", std::vector<std::uint8_t>(40, 9));

    const KeybagParse parsed = parseKeybag(w.bytes);
    ASSERT_TRUE(parsed.keybag);
    EXPECT_EQ(parsed.keybag->iterations, 3u);
    EXPECT_EQ(parsed.keybag->doubleProtectionIterations, 5u);
    ASSERT_EQ(parsed.keybag->classes.size(), 2u);
    EXPECT_EQ(parsed.keybag->classes[0].protectionClass, 3u);

    const auto derived = derivePasscodeKey(*parsed.keybag, password);
    ASSERT_TRUE(derived);
    EXPECT_EQ(toVector(*derived), toVector(passcode));
    const auto keys = unwrapClassKeys(*parsed.keybag, derived->span());
    ASSERT_TRUE(keys);
    ASSERT_EQ(keys->count(3), 1u);
    EXPECT_EQ(toVector(keys->at(3)), classKey);
    EXPECT_EQ(keys->count(5), 0u);
    EXPECT_FALSE(
        unwrapClassKeys(*parsed.keybag, derivePasscodeKey(*parsed.keybag, "wrong")->span()));

    // Without DPSL/DPIC only the SHA-1 round runs, over the password itself.
    Keybag old = *parsed.keybag;
    old.doubleProtectionSalt.clear();
    old.doubleProtectionIterations = 0;
    EXPECT_EQ(toVector(*derivePasscodeKey(old, password)),
              toVector(*pbkdf2(Pbkdf2Hash::Sha1, bytesOf(password), salt, 3, 32)));
}

TEST(Keybag, DamagedBagsSayWhatIsWrong) {
    BagWriter header;
    header.integer("VERS", 4).item("UUID", std::vector<std::uint8_t>(16, 1));
    BagWriter noSalt = header;
    noSalt.integer("ITER", 10);
    EXPECT_EQ(parseKeybag(noSalt.bytes).error, KeybagError::MissingSalt);
    BagWriter noIter = header;
    noIter.item("SALT", {1, 2, 3});
    EXPECT_EQ(parseKeybag(noIter.bytes).error, KeybagError::MissingIterations);
    BagWriter wideIter = noIter;
    wideIter.item("ITER", {0, 0, 0, 0, 1});
    EXPECT_EQ(parseKeybag(wideIter.bytes).error, KeybagError::MissingIterations);
    BagWriter endless = noIter;
    endless.integer("ITER", 0xFFFFFFFF);
    EXPECT_EQ(parseKeybag(endless.bytes).error, KeybagError::TooManyIterations);
    BagWriter noClasses = noIter;
    noClasses.integer("ITER", 10);
    EXPECT_EQ(parseKeybag(noClasses.bytes).error, KeybagError::NoClassKeys);

    BagWriter full = noClasses;
    full.item("UUID", std::vector<std::uint8_t>(16, 3)).integer("CLAS", 1).integer("WRAP", 2);
    full.item("WPKY", std::vector<std::uint8_t>(40, 9));
    ASSERT_TRUE(parseKeybag(full.bytes).keybag);
    // Every cut of a good bag is either read or refused, never read past.
    for (std::size_t n = 0; n < full.bytes.size(); ++n) {
        const KeybagParse p = parseKeybag(std::span(full.bytes).first(n));
        if (p.keybag) {
            EXPECT_FALSE(p.keybag->classes.empty());
        }
    }
    // A length that runs past the end.
    auto runaway = full.bytes;
    runaway[7] = 0xFF;
    EXPECT_EQ(parseKeybag(runaway).error, KeybagError::Truncated);
    // A wrapped key of the wrong length fails the unwrap like a wrong password.
    Keybag bag = *parseKeybag(full.bytes).keybag;
    bag.classes[0].wrappedKey.resize(13);
    EXPECT_FALSE(unwrapClassKeys(bag, std::vector<std::uint8_t>(32, 0)));
}

}  // namespace
}  // namespace marlowen
