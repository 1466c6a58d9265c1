#include "text/decimal_number.h"

#include <cstdio>

#include "text/c_locale.h"

namespace dvbk {

double read_number(std::string_view text) {
    double value = 0.0;
    CReader reader(text);
    if (!reader.read_double(value))
        return 0.0;
    return value;
}

std::string format_fixed(double value, int decimals) {
    int size = std::snprintf(nullptr, 0, "%.*f", decimals, value);
    std::string text(static_cast<size_t>(size) + 1, '\0');
    std::snprintf(text.data(), text.size(), "%.*f", decimals, value);
    text.resize(static_cast<size_t>(size));
    return text;
}

}  // namespace dvbk
