#pragma once
// Script enumerations: the names a script writes for the values of an
// enumerated parameter, as (name, value) pairs ended by a pair with a null
// name. Shared by the render machine, which defines the tables, and the
// script functions, which read parameters through them.
#include <cstdint>
#include <string_view>

namespace Vexa {

struct EnumEntry {
    const char* name;
    int32_t value;
};

// The value paired with `text` (compared exactly) in the table; the
// ParseException "Undefined enum name." when no name matches.
int32_t lookupEnum(const EnumEntry* table, std::string_view text);

}  // namespace Vexa
