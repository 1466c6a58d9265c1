// Any bytes as settings.xml: the reader takes what it can, leaves a record the writer can write,
// and what the writer writes reads back to the same settings (to the six digits it keeps).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "settings/settings_file.h"

namespace {

bool close(double a, double b) {
    return std::fabs(a - b) <= 1e-5 * std::fmax(1.0, std::fabs(a));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    dvbk::AppSettings settings;
    dvbk::read_settings_text(std::string_view(reinterpret_cast<const char*>(data), size), settings);
    if (settings.click_choice < 0 || settings.click_choice > 2 || !std::isfinite(settings.click_x) ||
        !std::isfinite(settings.click_y) || !std::isfinite(settings.time_adj))
        std::abort();
    dvbk::AppSettings back;
    dvbk::read_settings_text(dvbk::settings_text(settings, "\r\n"), back);
    if (back.click_maximize != settings.click_maximize || back.click_choice != settings.click_choice ||
        !close(back.click_x, settings.click_x) || !close(back.click_y, settings.click_y) ||
        !close(back.time_adj, settings.time_adj))
        std::abort();
    return 0;
}
