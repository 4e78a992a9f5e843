// The server's log: one line per event on standard error, as
//   kessandor-serve: event=NAME key=value key=value ...
// with values that never hold a space, quote or control byte (they are escaped), so every
// line can be found with grep and split with cut.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace server {

using LogField = std::pair<std::string_view, std::string_view>;

void logEvent(std::string_view event, std::initializer_list<LogField> fields = {});

// `text` as a log value: printable ASCII but space, '"', '\\' and '%' kept; everything else as
// %XX.
std::string logValue(std::string_view text);

}  // namespace server
