#pragma once
// Questions about a type, an airline, a registration or a publisher, answered from the type
// database. Read-only; callable from any thread once the database is read.
#include <optional>
#include <string>
#include <vector>

#include "liveries/type_database.h"
#include "records/size_class.h"

namespace vrn {

// Tested in the order large, heavy, business jet, rotorcraft, high performance; 0 when in none.
unsigned gf_sizeClass(const std::string& model);
bool gf_isValidModel(const std::string& model);
// The type's own half wingspan, else its class's average (0.0 when that class has none).
double gf_halfWingspanNm(const std::string& model);
bool gf_isIcaoAirline(const std::string& airline);

// The registration, then for one of 5+ characters not starting with 'N' and holding no '-':
// first two characters + "-" + rest, and first character + "-" + rest.
std::vector<std::string> gf_regVariants(const std::string& registration);
// True when the key is in the registration database; the record then goes into `record`.
bool gf_lookupDbRecord(std::optional<DbRecord>& record, const std::string& key);
// The first variant found decides; empty when none is found.
std::string gf_operatorOfReg(const std::string& registration);
std::string gf_airlineOfReg(const std::string& registration);
std::string gf_typeOfReg(const std::string& registration);

// ".*" + pattern + ".*", ECMAScript, case-insensitive, against the whole text; false for an invalid pattern.
bool gf_matchesPattern(const std::string& text, const std::string& pattern);
// The name (element 0) of the first publisher group one of whose names occurs in the text or
// matches it as a pattern; "unknown" when none does.
std::string gf_matchPublisher(const std::string& text);
// Compiles the names of g_publisherGroups once; the reader calls it, tests after changing the groups.
void gf_compilePublisherPatterns();

}  // namespace vrn
