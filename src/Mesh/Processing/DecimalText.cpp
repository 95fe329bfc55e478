#include "Mesh/Processing/DecimalText.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace Vexa::DecimalText {

float viaStrtod(const char* start, const char* end) {
    const std::size_t length = static_cast<std::size_t>(end - start);
    char local[128];
    if (length < sizeof local) {
        std::memcpy(local, start, length);
        local[length] = '\0';
        return static_cast<float>(std::strtod(local, nullptr));
    }
    return static_cast<float>(std::strtod(std::string(start, length).c_str(), nullptr));
}

}  // namespace Vexa::DecimalText
