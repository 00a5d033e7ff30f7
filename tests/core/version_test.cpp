// Version numbers from texts and JSON objects, and their order.
#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "core/version.h"

namespace vrn {
namespace {

TEST(Version, ParsedFromTextsAndJsonAndOrdered) {
    const std::pair<const char*, Version> cases[] = {
        {"99999999999.1.1", {0, 0, 0}},   // stops at the first field that does not fit
        {"1.99999999999.1", {1, 0, 0}},   // fields before the failure are kept
        {R"({"patch": 7, "major": 2, "minor": 1, "other": "x"})", {2, 1, 7}},
        {R"({"major": 2, "minor": "1", "patch": 7})", {2, 0, 0}}, {R"({"major": 3, "minor": 99999999999})", {3, 0, 0}},
        {R"({"major": -1, "minor": 2.0, "patch": 3})", {-1, 2, 3}}, {R"([1, 2, 3])", {0, 0, 0}}, {"{\"major\": 2", {0, 0, 0}},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(Version(std::string(text)), expected) << text;
    EXPECT_EQ(gf_versionText(Version(10, 0, 12)), "10.0.12");
    const std::pair<Version, Version> newer[] = {{{9, 10, 0}, {9, 4, 0}}, {{10, 0, 0}, {9, 99, 99}}, {{9, 4, 1}, {9, 4, 0}}};
    for (const auto& [a, b] : newer) EXPECT_TRUE(a.isNewerThan(b) && !b.isNewerThan(a)) << a.toString();
    EXPECT_FALSE(Version(9, 4, 0).isNewerThan(Version(9, 4, 0)));
}

// The reading of "(\d+).(\d+).(\d+)" must pick the same groups as a regular-expression engine,
// also where digits serve as separators, and must survive texts far longer than any engine's stack.
TEST(Version, ReadsTextsAsTheThreeNumberPatternWouldAtAnyLength) {
    const std::regex pattern(R"((\d+).(\d+).(\d+))", std::regex::ECMAScript);
    const std::string alphabet = std::string("0123456789.x-\n\r ", 16) + std::string(1, '\0');
    std::mt19937 random(11);
    for (int i = 0; i < 20000; ++i) {
        std::string text(random() % 12, ' ');
        for (char& c : text) c = alphabet[random() % alphabet.size()];
        Version expected;
        std::smatch m;
        if (std::regex_match(text, m, pattern)) {
            try {
                expected.major = std::stoi(m[1].str());
                expected.minor = std::stoi(m[2].str());
                expected.patch = std::stoi(m[3].str());
            } catch (const std::out_of_range&) {
            }
        }
        ASSERT_EQ(Version(text), expected) << '"' << text << '"';
    }
    EXPECT_EQ(Version(std::string("12345")), Version(1, 3, 5));   // digits between digits separate too
    EXPECT_EQ(Version(std::string("9.4\n1.0")), Version());   // a line end never separates

    const std::string longDigits(2'000'000, '7');
    EXPECT_EQ(Version("1.2." + longDigits), Version(1, 2, 0));
    EXPECT_EQ(Version(longDigits + ".2.3"), Version());
    EXPECT_EQ(Version("0000000000000000000009.4.1"), Version(9, 4, 1));
}

}  // namespace
}  // namespace vrn
