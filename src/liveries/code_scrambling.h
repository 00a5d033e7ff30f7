#pragma once
// The scrambled form in which the data files keep type codes, airline codes and registrations.
// Everything in memory is plain; the data files and the stored check date are scrambled.
#include <string>

namespace vrn {

// Keyed per-position shift over the alphabet '-'..'Z'; '+' passes through. Throws std::runtime_error
// "regcode encrypt error" when the text holds a lower-case letter. Declared for the settings in
// core/time_of_week.h as well.
std::string gf_scrambleCode(const std::string& plain);
// The inverse of gf_scrambleCode; no check of the characters.
std::string gf_unscrambleText(const std::string& stored);
// Six stored characters give the three-letter code; three are taken as plain (logged); an empty
// code gives ""; any other length throws std::runtime_error "decrypt airl \"{}\" error".
std::string gf_unscrambleAirline(const std::string& stored);
// Three stored characters give three, four give four, any other length two. A stored code of one
// character cannot hold a two-character code: it gives "" (logged).
std::string gf_unscrambleCode(const std::string& stored);

// The writing side of the short codes, for the data builder and the tests: the exact inverses of
// gf_unscrambleAirline (a three-letter code gives six characters) and gf_unscrambleCode (two, three
// or four characters). Other lengths throw std::invalid_argument.
std::string gf_scrambleAirline(const std::string& plain);
std::string gf_scrambleTypeCode(const std::string& plain);

}  // namespace vrn
