// The warehouse's error messages, made safe to print: they quote the statement that failed, the
// values it could not convert and, for the CSV reader, whole source lines, any of which may hold
// firm names and amounts.
#pragma once

#include <string>
#include <string_view>

namespace tarvo::vandel {

// The first line of `message` with every single-quoted literal shown as '…' ("Could not convert
// string '…' to INT64"); identifiers, which the warehouse writes in double quotes, stay. Of the
// later lines only the CSV reader's field count ("Expected Number of Columns: 2 Found: 3"), which
// carries no data, is kept, after "; ".
std::string data_free_message(std::string_view message);

}  // namespace tarvo::vandel
