#include "app/hot_keys_win.h"

#include <algorithm>

#include "app/app_state_win.h"
#include "app/main_window_win.h"

namespace dvbk {

std::string register_hot_keys(HWND window, std::span<const HotKey> keys) {
    std::string taken;
    for (const HotKey& key : keys) {
        // Held down, a key would repeat: one press is one step. Systems before Windows 7 refuse
        // MOD_NOREPEAT, and get the key without it.
        if (!RegisterHotKey(window, key.id, MOD_CONTROL | MOD_SHIFT | MOD_NOREPEAT, key.key) &&
            !RegisterHotKey(window, key.id, MOD_CONTROL | MOD_SHIFT, key.key))
            taken += (taken.empty() ? "" : ", ") + std::string(key.name);
    }
    return taken;
}

void unregister_hot_keys(HWND window, std::span<const HotKey> keys) {
    for (const HotKey& key : keys)
        UnregisterHotKey(window, key.id);
}

void apply_clock_keys() {
    // Registered again from scratch: a key another program has let go of since is ours now.
    unregister_hot_keys(app.main_window, clock_keys);
    app.keys_text.clear();
    if (app.settings.clock_keys) {
        std::string taken = register_hot_keys(app.main_window, clock_keys);
        if (!taken.empty())
            app.keys_text = "Clock keys: " + taken + " taken by another program";
    }
    show_line(Line::Record);
}

bool is_clock_key(int id) {
    return std::any_of(clock_keys.begin(), clock_keys.end(), [id](const HotKey& key) { return key.id == id; });
}

}  // namespace dvbk
