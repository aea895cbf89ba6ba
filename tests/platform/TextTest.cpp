#include "platform/Text.h"
#include "platform/Localization.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <dlfcn.h>
#include <iconv.h>
#include <new>

// The conversion handles opened and closed, counted in front of the C library's own, and an
// allocation that can be made to fail: together they show whether a conversion that fails half
// way gives its handle back.
namespace {
std::atomic<int> handlesOpened{0};
std::atomic<int> handlesClosed{0};
thread_local bool failNextAllocation = false;
} // namespace

extern "C" iconv_t iconv_open(const char* to, const char* from) {
    using Open = iconv_t (*)(const char*, const char*);
    static const auto real = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "iconv_open"));
    iconv_t cd = real(to, from);
    if (cd != reinterpret_cast<iconv_t>(-1))
        ++handlesOpened;
    return cd;
}

extern "C" int iconv_close(iconv_t cd) {
    using Close = int (*)(iconv_t);
    static const auto real = reinterpret_cast<Close>(dlsym(RTLD_NEXT, "iconv_close"));
    ++handlesClosed;
    return real(cd);
}

void* operator new(std::size_t n) {
    if (failNextAllocation) {
        failNextAllocation = false;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

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
    // One '?' per character, whatever its length in UTF-8, and one per stray byte.
    struct Case {
        std::string utf8;
        std::string macRoman;
    } cases[] = {
        {"a€b→c", "a\xDB"
                  "b?c"},
        {"a\xF0\x9F\x98\x80"
         "b",
         "a?b"},
        {"a\x80"
         "b",
         "a?b"},
        {"a\xC3", "a?"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConvertEncoding(String(c.utf8), TextEncoding::MacRoman).bytes, c.macRoman)
            << c.utf8;
}

TEST(TextTest, AConversionThatFailsHalfWayClosesItsHandle) {
    // Long enough that the converted text needs memory of its own.
    const String text(std::string(300, 'a'));
    const int opened = handlesOpened, closed = handlesClosed;
    EXPECT_THROW(
        {
            failNextAllocation = true;
            ConvertEncoding(text, TextEncoding::MacRoman);
        },
        std::bad_alloc);
    failNextAllocation = false;
    EXPECT_EQ(handlesOpened - opened, 1);
    EXPECT_EQ(handlesClosed - closed, 1);

    // And a conversion that succeeds closes it too.
    EXPECT_EQ(ConvertEncoding(text, TextEncoding::MacRoman).bytes, text.bytes);
    EXPECT_EQ(handlesOpened - handlesClosed, opened - closed);
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
    EXPECT_EQ(Asc(String("€")), 0x20ACu);
    EXPECT_EQ(Asc(String("\xF0\x9F\x98\x80")), 0x1F600u);
    EXPECT_EQ(Asc(String("\xE2\x82")), 0xE2u); // cut short: the byte itself
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
