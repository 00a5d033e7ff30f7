// Exceptions' messages and the strict UTF-8 <-> UTF-16 conversion.
#include <gtest/gtest.h>

#include <string>

#include "core/exceptions.h"
#include "core/text_conversion.h"

namespace vrn {
namespace {

TEST(Exceptions, MessagesCarryTheirCodes) {
    EXPECT_STREQ(UserErrorException(99, "shown as it is").what(), "shown as it is");
    EXPECT_STREQ(UserErrorException(0, "zero").what(), "0: zero");
    EXPECT_STREQ(SysErrorException(7, "").what(), "sys error 7: ");
    EXPECT_STREQ(SysErrorException(-3, "neg").what(), "sys error -3: neg");
    const win32::Utf8ConversionException copy(win32::Utf8ConversionException("bad text", 1113, 1));
    EXPECT_STREQ(copy.what(), "bad text");
    EXPECT_EQ(copy.errorCode(), 1113u);
    EXPECT_EQ(copy.direction(), 1u);
}

struct Utf8Case {
    const char* name;
    std::string utf8;
    std::u16string utf16;
};

TEST(Utf8ToUtf16, ValidSequencesOfEveryLength) {
    const Utf8Case cases[] = {
        {"empty", "", u""},
        {"ascii", "EGLL 27R", u"EGLL 27R"},
        {"two bytes", "K\xC3\xB8" "benhavn", u"K\u00F8benhavn"},
        {"three bytes", "\xE2\x82\xAC" "5", u"\u20AC" "5"},
        {"lowest three byte", "\xE0\xA0\x80", u"\u0800"},
        {"last before surrogates", "\xED\x9F\xBF", u"\uD7FF"},
        {"first after surrogates", "\xEE\x80\x80", u"\uE000"},
        {"noncharacter kept", "\xEF\xBF\xBF", u"\uFFFF"},
        {"four bytes", "\xF0\x9F\x9B\xA9", u"\U0001F6E9"},
        {"highest code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"embedded nul", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(gf_isValidUtf8(c.utf8));
        EXPECT_EQ(gf_utf8ToUtf16(c.utf8), c.utf16);
        EXPECT_EQ(gf_utf16ToUtf8(c.utf16), c.utf8);   // and back again
    }
}

TEST(Utf8ToUtf16, MalformedSequencesAreRejectedWhole) {
    const std::pair<const char*, std::string> cases[] = {
        {"lone continuation", "ab\x80" "cd"},
        {"truncated two byte at end", "ab\xC3"},
        {"truncated three byte", "\xE2\x82" "A"},
        {"truncated four byte", "\xF0\x9F\x9B"},
        {"overlong slash C0 AF", "\xC0\xAF"},
        {"overlong C1", "\xC1\xBF"},
        {"overlong three byte", "\xE0\x80\xAF"},
        {"overlong four byte", "\xF0\x80\x80\xAF"},
        {"encoded high surrogate", "\xED\xA0\x80"},
        {"encoded low surrogate", "\xED\xBF\xBF"},
        {"above U+10FFFF", "\xF4\x90\x80\x80"},
        {"F5 lead", "\xF5\x80\x80\x80"},
        {"FF byte", "\xFF"},
        {"continuation replaced by ascii", "\xC3" "A"},
        {"latin-1 text", "M\xFCnchen"},
    };
    for (const auto& [name, text] : cases) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(gf_isValidUtf8(text));
        try {
            (void)gf_utf8ToUtf16(text);
            ADD_FAILURE() << "accepted";
        } catch (const win32::Utf8ConversionException& e) {
            EXPECT_EQ(e.errorCode(), 1113u);
            EXPECT_EQ(e.direction(), 0u);
            EXPECT_STREQ(e.what(), "Invalid UTF-8 sequence found in input string.");
        }
    }
}

TEST(Utf16ToUtf8, UnpairedSurrogatesAreRejected) {
    const std::pair<const char*, std::u16string> cases[] = {
        {"lone high at end", u"ab\xD83D"},
        {"lone high before text", u"\xD83D" u"x"},
        {"lone low", u"\xDE00" u"x"},
        {"reversed pair", u"\xDE00\xD83D"},
        {"two highs", u"\xD83D\xD83D\xDE00"},
    };
    for (const auto& [name, text] : cases) {
        SCOPED_TRACE(name);
        try {
            (void)gf_utf16ToUtf8(text);
            ADD_FAILURE() << "accepted";
        } catch (const win32::Utf8ConversionException& e) {
            EXPECT_EQ(e.errorCode(), 1113u);
            EXPECT_EQ(e.direction(), 1u);
            EXPECT_STREQ(e.what(), "Invalid UTF-16 sequence found in input string.");
        }
    }
}

}  // namespace
}  // namespace vrn
