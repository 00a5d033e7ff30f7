// The strict UTF-8 <-> UTF-16 conversion.
#include <gtest/gtest.h>

#include <string>

#include "core/exceptions.h"
#include "core/text_conversion.h"

namespace vrn {
namespace {

TEST(Utf8ToUtf16, ValidSequencesAtTheBoundariesRoundTrip) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"", u""}, {"K\xC3\xB8" "benhavn", u"K\u00F8benhavn"},
        {"\xE0\xA0\x80", u"\u0800"}, {"\xED\x9F\xBF", u"\uD7FF"}, {"\xEE\x80\x80", u"\uE000"},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const auto& [utf8, utf16] : cases) {
        EXPECT_TRUE(gf_isValidUtf8(utf8)) << utf8;
        EXPECT_EQ(gf_utf8ToUtf16(utf8), utf16) << utf8;
        EXPECT_EQ(gf_utf16ToUtf8(utf16), utf8);
    }
}

template <typename Convert>
void lf_expectRefused(Convert convert, unsigned direction, const char* message) {
    try {
        (void)convert();
        ADD_FAILURE() << "accepted";
    } catch (const win32::Utf8ConversionException& e) {
        EXPECT_EQ(e.errorCode(), 1113u);
        EXPECT_EQ(e.direction(), direction);
        EXPECT_STREQ(e.what(), message);
    }
}

TEST(Utf8ToUtf16, MalformedSequencesAndUnpairedSurrogatesAreRejectedWhole) {
    for (const std::string text : {"ab\x80" "cd", "ab\xC3", "\xF0\x9F\x9B", "\xC0\xAF", "\xE0\x80\xAF",
                                   "\xF0\x80\x80\xAF", "\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80",
                                   "\xF5\x80\x80\x80", "\xC3" "A", "M\xFCnchen"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(gf_isValidUtf8(text));
        lf_expectRefused([&] { return gf_utf8ToUtf16(text); }, 0, "Invalid UTF-8 sequence found in input string.");
    }
    for (const std::u16string text : {u"ab\xD83D", u"\xD83D" u"x", u"\xDE00" u"x", u"\xD83D\xD83D\xDE00"})
        lf_expectRefused([&] { return gf_utf16ToUtf8(text); }, 1, "Invalid UTF-16 sequence found in input string.");
}

}  // namespace
}  // namespace vrn
