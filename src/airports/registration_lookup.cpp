#include "airports/registration_lookup.h"

#include "liveries/type_queries.h"

namespace vrn {

std::optional<RegistrationRecord> gf_registrationRecord(const std::string& registration) {
    for (const std::string& variant : gf_regVariants(registration)) {
        std::optional<DbRecord> record;
        if (!gf_lookupDbRecord(record, variant) || !record) continue;
        RegistrationRecord result;
        result.airline = record->operatorCode.empty() ? record->airline : record->operatorCode;
        result.type = record->type;
        return result;
    }
    return std::nullopt;
}

}  // namespace vrn
