#pragma once
// The registration database as the airport files use it: a known registration gives the airline
// (its operator when it has one) and the type of a learned use.
#include <optional>
#include <string>

namespace vrn {

struct RegistrationRecord {
    std::string airline;   // the operator when the database gives one, else the airline
    std::string type;
};

// The record of the first variant of the registration found in the registration database.
std::optional<RegistrationRecord> gf_registrationRecord(const std::string& registration);

}  // namespace vrn
