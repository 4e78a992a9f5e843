// How the screens name the five companies.
#pragma once

#include <cstdint>
#include <string_view>

// "Altair StarWays" ... "Eridani Expediters": the announcements use the bare name.
std::string_view companyName(std::int32_t company);

// "A: Altair StarWays" ...: the holdings table and the buy dialog use the label.
std::string_view companyLabel(std::int32_t company);
