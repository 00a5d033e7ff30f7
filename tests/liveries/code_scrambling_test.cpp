// The scrambled forms are what the data files and the stored check date hold: these pairs must never change.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "liveries/code_scrambling.h"

namespace vrn {
namespace {

TEST(CodeScrambling, PinnedPairsOfEveryRoutine) {
    using Fn = std::string (*)(const std::string&);
    struct Routine { Fn scramble, unscramble; std::vector<std::pair<const char*, const char*>> pairs; };
    const Routine routines[] = {
        {gf_scrambleCode, gf_unscrambleText, {{"D-AIZZ", ">>XHVN"}, {"G-EUUA", "A>.TQ5"}, {"N12345", "HBI20W"}, {"PH-BXA", "JYDAT5"},
                                              {"A6-EEO", ";GDDAC"}, {"+A+B+", "+R+A+"}}},
        {gf_scrambleAirline, gf_unscrambleAirline, {{"DLH", "CK9R1U"}, {"ZZZ", "Y3K2?9"}, {"PVT", "OWE.;3"}, {"BAW", "AIHGT6"}}},
        {gf_scrambleTypeCode, gf_unscrambleCode, {{"A5", "RL"}, {"VL3", "OX5"}, {"B738", "D<3Y"}, {"A20N", "A7IX"}, {"H145", "E601"}}}};
    for (const Routine& r : routines)
        for (auto [plain, stored] : r.pairs) EXPECT_TRUE(r.scramble(plain) == stored && r.unscramble(stored) == plain) << plain;
    EXPECT_EQ(gf_scrambleCode("DEC 52026"), ">VZM1T2PF");   // the stored check date: the same day, the same text
}

TEST(CodeScrambling, EveryAlphabetCharacterRoundTripsAtEveryPosition) {
    std::string alphabet;
    for (char c = '-'; c <= 'Z'; ++c) alphabet.push_back(c);
    alphabet.push_back('+');
    for (std::size_t pos = 0; pos < 130; ++pos) {   // beyond the 108 keys too
        for (char c : alphabet) {
            std::string text(pos + 1, 'A');
            text[pos] = c;
            const std::string stored = gf_scrambleCode(text);
            ASSERT_EQ(stored.size(), text.size());
            for (char s : stored) ASSERT_TRUE((s >= '-' && s <= 'Z') || s == '+') << "position " << pos;
            ASSERT_EQ(gf_unscrambleText(stored), text) << "position " << pos << " char " << c;
        }
    }
    // '+' keeps its place and does not shift the keys of the positions after it.
    EXPECT_EQ(gf_scrambleCode("A+B").substr(2), gf_scrambleCode("AAB").substr(2));
}

TEST(CodeScrambling, LowerCaseIsNeverScrambledAndShortCodeLengths) {
    for (const char* text : {"a", "aBC", "ABc", "D-AIzZ"}) EXPECT_THROW(gf_scrambleCode(text), std::runtime_error) << text;
    EXPECT_EQ(gf_unscrambleAirline("AFR"), "AFR");   // plain, accepted with a log line
    for (const char* bad : {"A", "ABCD", "ABCDE", "ABCDEFG"}) EXPECT_THROW(gf_unscrambleAirline(bad), std::runtime_error);
    EXPECT_EQ(gf_scrambleCode("") + gf_unscrambleAirline("") + gf_unscrambleCode("") + gf_unscrambleCode("Q"), "");   // Q: never read past
    EXPECT_EQ(gf_unscrambleCode("ABCDEFGH").size(), 2u);
    EXPECT_THROW(gf_scrambleTypeCode("B7378"), std::invalid_argument);
    EXPECT_THROW(gf_scrambleAirline("DL"), std::invalid_argument);
}

}  // namespace
}  // namespace vrn
