#include "screens/company_names.h"

#include <array>

namespace {

constexpr std::array<std::string_view, 5> kNames = {"Altair StarWays", "Betelgeuse, Ltd.",
                                                    "Capella Freight Co.", "Denebola Shippers",
                                                    "Eridani Expediters"};

constexpr std::array<std::string_view, 5> kLabels = {
    "A: Altair StarWays", "B: Betelgeuse, Ltd.", "C: Capella Freight Co.", "D: Denebola Shippers",
    "E: Eridani Expediters"};

}  // namespace

std::string_view companyName(std::int32_t company) {
    return kNames.at(company);
}

std::string_view companyLabel(std::int32_t company) {
    return kLabels.at(company);
}
