#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>

#include "tivhost/host.h"

using namespace tivhost;

TEST(HostCripto, EveryByteRoundTripsIntoHexText) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    for (int key : {0, 1, 12345, -1, INT_MAX, INT_MIN}) {
        std::string enc = Cripto(all, key);
        ASSERT_EQ(enc.size(), 512u) << key;
        EXPECT_TRUE(std::all_of(enc.begin(), enc.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c)) &&
                   !std::islower(static_cast<unsigned char>(c));
        })) << key;
        EXPECT_EQ(Uncripto(enc, key), all) << key;
        EXPECT_EQ(Cripto(all, key), enc) << "same key, same encoding: " << key;
    }
    EXPECT_EQ(Cripto("", 7), "");
    EXPECT_EQ(Uncripto("", 7), "");
}

TEST(HostCripto, SchemeIsStableAndKeyed) {
    // Fixed vectors: files written by earlier versions must still decode.
    EXPECT_EQ(Cripto("ABC", 0), "DC9E1B");
    EXPECT_EQ(Cripto("\xC7", 12345), "79");
    std::string serial = "EP012345678901234567";
    EXPECT_NE(Cripto(serial, 1), Cripto(serial, 2));
    EXPECT_NE(Uncripto(Cripto(serial, 1), 2), serial);
    std::string lower = Cripto(serial, 99);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    EXPECT_EQ(Uncripto(lower, 99), serial) << "lower-case hex is read too";
}

TEST(HostCripto, MalformedTextIsADataError) {
    struct Case {
        const char *text;
        const char *mentions;
    } cases[] = {
        {"ABC", "3 characters"},
        {"4G", "position 2"},
        {"ZZ00", "position 1"},
        {"41 3", "position 3"},
    };
    for (const auto &c : cases) {
        try {
            Uncripto(c.text, 5);
            ADD_FAILURE() << c.text << ": no error";
        } catch (const tiv::DataError &e) {
            EXPECT_NE(std::string(e.what()).find(c.mentions), std::string::npos)
                << c.text << ": " << e.what();
        }
    }
}
