#include "platform/Text.h"
#include "platform/Localization.h"

#include <gtest/gtest.h>

namespace qmk {
namespace {

TEST(TextTest, ConvertsBetweenUtf8AndMacRoman) {
    struct Case {
        const char* utf8;
        std::string macRoman;
    } cases[] = {
        {"Sans titre", "Sans titre"},
        {"Écriture é à ç", "\x83"
                           "criture \x8E \x88 \x8D"},
        {"…", "\xC9"},
        {"Fichiers à convertir", "Fichiers \x88 convertir"},
    };
    for (const auto& c : cases) {
        String m = ConvertEncoding(String(c.utf8), TextEncoding::MacRoman);
        EXPECT_EQ(m.bytes, c.macRoman) << c.utf8;
        EXPECT_EQ(m.encoding, TextEncoding::MacRoman);
        EXPECT_EQ(ConvertEncoding(m, TextEncoding::UTF8).bytes, c.utf8);
    }
}

TEST(TextTest, UnmappableCharactersBecomeQuestionMarks) {
    EXPECT_EQ(ConvertEncoding(String("a€b→c"), TextEncoding::MacRoman).bytes, "a\xDB"
                                                                              "b?c");
}

TEST(TextTest, DefineEncodingTagsWithoutChangingBytes) {
    String s = DefineEncoding("\x8E", TextEncoding::MacRoman);
    EXPECT_EQ(s.bytes, "\x8E");
    EXPECT_EQ(s.encoding, TextEncoding::MacRoman);
}

TEST(TextTest, ChrAndAscRoundTripEveryByteValue) {
    for (uint32_t c = 0; c < 256; ++c)
        EXPECT_EQ(Asc(Chr(c)), c) << c;
    EXPECT_EQ(Chr(0xE9).bytes, "é");
    EXPECT_EQ(Asc(String("")), 0u);
}

TEST(LocalizationTest, StoredTextWinsElseTheDefaultExactly) {
    EXPECT_EQ(GetLocalizedString("X.kY", "Défaut…", ""), "Défaut…");
    StoreLocalizedString("X.kY", "en", "Default");
    EXPECT_EQ(GetLocalizedString("X.kY", "Défaut…", "en"), "Default");
    EXPECT_EQ(GetLocalizedString("X.kY", "Défaut…", ""), "Défaut…");
    ClearLocalizedStrings();
    EXPECT_EQ(GetLocalizedString("X.kY", "Défaut…", "en"), "Défaut…");
}

} // namespace
} // namespace qmk
