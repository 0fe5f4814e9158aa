#include "core/orders/Crypt.h"
#include "core/common/Text.h"

#include <gtest/gtest.h>

using namespace quillane;

TEST(Crypt, MovesTheAlphabetHalfwayRound)
{
    EXPECT_EQ(Crypt("Anna+12"), "r22S+Nn");
    EXPECT_EQ(Crypt("0"), "m");
    EXPECT_EQ(Crypt("%7C"), "M");               // "|", the alphabet's last character, lands 35 places back
    EXPECT_EQ(Crypt("%E4%3D%26"), "%E4%3D%26"); // bytes outside the alphabet stay
}

TEST(Crypt, ReadsBackWhatTheShopSends)
{
    // The shop sends Crypt(encodeURIComponent(value)); form decoding has
    // already been done by whoever received the request.
    struct Case {
        const char* plain;
        const char* encodedByTheShop;
    };
    for (const Case& c : {Case{"Anna 12", "Anna%2012"}, Case{"J\xC3\xB6rg", "J%C3%B6rg"},
                          Case{"a+b=c&d%e|(1;2)", "a%2Bb%3Dc%26d%25e%7C(1%3B2)"},
                          Case{"Zeile 1\nZeile 2", "Zeile%201%0AZeile%202"}, Case{"", ""}}) {
        const std::string sent = Crypt(c.encodedByTheShop);
        EXPECT_EQ(UnscrambleOrderField(sent), c.plain) << sent;
        EXPECT_EQ(Crypt(sent), UrlEncode(UrlDecode(c.encodedByTheShop))) << "applied twice it gives the text back";
    }
    EXPECT_EQ(UnscrambleOrderField("r22S+Nn"), "Anna 12");
}
