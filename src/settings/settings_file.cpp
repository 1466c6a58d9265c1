#include "settings/settings_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "text/c_locale.h"

namespace dvbk {
namespace {

// %g with six significant digits, as an output stream writes a double by default.
std::string general_number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

void read_number(std::string_view value, double& field) {
    CReader reader(value);
    double number = 0.0;
    if (reader.read_double(number))
        field = number;
}

// A TCP port, 1 to 65535; anything else leaves the field as it was.
void read_port(std::string_view value, int& field) {
    CReader reader(value);
    std::int32_t port = 0;
    if (reader.read_int32(port) && is_valid_port(port))
        field = port;
}

}  // namespace

bool is_local_pipe_name(std::string_view name) {
    constexpr std::string_view prefix = "\\\\.\\pipe\\";
    return name.size() > prefix.size() && name.size() <= 256 &&
           equals_ignoring_case(name.substr(0, prefix.size()), prefix) &&
           name.find('\\', prefix.size()) == std::string_view::npos;
}

std::string escaped_content(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (is_c_control(c))
            out += "&#" + std::to_string(static_cast<unsigned char>(c)) + ";";
        else
            out += c;
    }
    return out;
}

std::string element_content(std::string_view value) {
    value = value.substr(0, value.find('<'));
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '&') {
            std::string_view rest = value.substr(i);
            size_t semicolon = rest.find(';');
            std::string_view name = rest.substr(1, semicolon == std::string_view::npos ? 0 : semicolon - 1);
            int code = -1;
            if (name == "amp")
                code = '&';
            else if (name == "lt")
                code = '<';
            else if (name == "gt")
                code = '>';
            else if (name.size() >= 2 && name.size() <= 4 && name[0] == '#') {
                code = 0;
                for (char digit : name.substr(1))
                    code = is_c_digit(digit) && code >= 0 ? code * 10 + (digit - '0') : -1;
                if (code > 127)
                    code = -1;
            }
            if (code >= 0) {
                out += static_cast<char>(code);
                i += semicolon;
                continue;
            }
        }
        out += value[i];
    }
    return out;
}

void remember_origin(std::vector<std::string>& origins, const std::string& origin) {
    if (origin.empty() || origins.size() >= MAX_BROWSER_ORIGINS ||
        std::find(origins.begin(), origins.end(), origin) != origins.end())
        return;
    origins.push_back(origin);
}

void remember_script_choice(AppSettings& settings, const std::string& copy, const std::string& script) {
    auto& choices = settings.script_choices;
    std::erase_if(choices, [&](const auto& choice) { return choice.first == copy; });
    choices.insert(choices.begin(), {copy, script});
    if (choices.size() > MAX_SCRIPT_CHOICES)
        choices.resize(MAX_SCRIPT_CHOICES);
}

void settle_origin(std::vector<std::string>& allowed, std::vector<std::string>& refused, const std::string& origin,
                   bool allow) {
    std::vector<std::string>& other = allow ? refused : allowed;
    other.erase(std::remove(other.begin(), other.end(), origin), other.end());
    remember_origin(allow ? allowed : refused, origin);
}

namespace {

// A switch written as 0 or 1; anything else leaves the field as it was.
void read_flag(std::string_view value, bool& field) {
    CReader reader(value);
    std::int32_t flag = -1;
    if (reader.read_int32(flag) && (flag == 0 || flag == 1))
        field = flag == 1;
}

void apply_line(std::string_view key, std::string_view value, AppSettings& settings) {
    if (key == "<click_maximize") {
        read_flag(value, settings.click_maximize);
    } else if (key == "<click_choice") {
        std::string_view name = value.substr(0, value.find('<'));
        for (size_t i = 0; i < click_presets.size(); ++i) {
            if (name == click_presets[i].name) {
                settings.click_choice = static_cast<int>(i);
                break;
            }
        }
    } else if (key == "<click_x") {
        read_number(value, settings.click_x);
    } else if (key == "<click_y") {
        read_number(value, settings.click_y);
    } else if (key == "<time_adj") {
        read_number(value, settings.time_adj);
    } else if (key == "<clock_source") {
        std::string_view name = value.substr(0, value.find('<'));
        for (size_t i = 0; i < clock_source_names.size(); ++i) {
            if (name == clock_source_names[i])
                settings.clock_source = static_cast<ClockSource>(i);
        }
    } else if (key == "<vlc_host") {
        settings.vlc_host = element_content(value);
    } else if (key == "<vlc_port") {
        read_port(value, settings.vlc_port);
    } else if (key == "<vlc_password") {
        settings.vlc_password = element_content(value);
    } else if (key == "<mpv_pipe") {
        settings.mpv_pipe = element_content(value);
    } else if (key == "<browser_port") {
        read_port(value, settings.browser_port);
    } else if (key == "<browser_allowed") {
        remember_origin(settings.browser_allowed, element_content(value));
    } else if (key == "<browser_refused") {
        remember_origin(settings.browser_refused, element_content(value));
    } else if (key == "<mark_lead") {
        double lead = -1.0;
        read_number(value, lead);
        if (lead >= 0.0 && lead <= MAX_MARK_LEAD)
            settings.mark_lead = lead;
    } else if (key == "<cover_monitors") {
        std::string_view name = value.substr(0, value.find('<'));
        for (size_t i = 0; i < cover_monitors_names.size(); ++i) {
            if (name == cover_monitors_names[i])
                settings.cover_monitors = static_cast<CoverMonitors>(i);
        }
    } else if (key == "<clock_keys") {
        read_flag(value, settings.clock_keys);
    } else if (key == "<scripts_folder") {
        settings.scripts_folder = element_content(value);
    } else if (key == "<load_matching") {
        read_flag(value, settings.load_matching);
    } else if (key == "<script_choice") {
        std::string choice = element_content(value);
        size_t tab = choice.find('\t');
        if (tab != std::string::npos && tab > 0 && tab + 1 < choice.size() &&
            settings.script_choices.size() < MAX_SCRIPT_CHOICES)
            settings.script_choices.emplace_back(choice.substr(0, tab), choice.substr(tab + 1));
    }
}

}  // namespace

std::string settings_text(const AppSettings& settings, std::string_view line_end) {
    // An index outside the table (never set by the program, but the record is plain data) is
    // written as the first preset rather than read out of bounds.
    size_t choice = static_cast<size_t>(settings.click_choice);
    const char* choice_name = click_presets[choice < click_presets.size() ? choice : 0].name;
    std::string lines[] = {
        R"(<?xml version="1.0" encoding="UTF-8"?>)",
        "<settings>",
        std::string("<click_maximize>") + (settings.click_maximize ? "1" : "0") + "</click_maximize>",
        std::string("<click_choice>") + choice_name + "</click_choice>",
        "<click_x>" + general_number(settings.click_x) + "</click_x>",
        "<click_y>" + general_number(settings.click_y) + "</click_y>",
        "<time_adj>" + general_number(settings.time_adj) + "</time_adj>",
        "</settings>",
        std::string("<clock_source>") + clock_source_name(settings.clock_source) + "</clock_source>",
        "<vlc_host>" + escaped_content(settings.vlc_host) + "</vlc_host>",
        "<vlc_port>" + std::to_string(settings.vlc_port) + "</vlc_port>",
        "<vlc_password>" + escaped_content(settings.vlc_password) + "</vlc_password>",
        "<mpv_pipe>" + escaped_content(settings.mpv_pipe) + "</mpv_pipe>",
    };
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += line_end;
    }
    text += "<browser_port>" + std::to_string(settings.browser_port) + "</browser_port>";
    text += line_end;
    for (const std::string& origin : settings.browser_allowed) {
        text += "<browser_allowed>" + escaped_content(origin) + "</browser_allowed>";
        text += line_end;
    }
    for (const std::string& origin : settings.browser_refused) {
        text += "<browser_refused>" + escaped_content(origin) + "</browser_refused>";
        text += line_end;
    }
    size_t cover = static_cast<size_t>(settings.cover_monitors);
    text += std::string("<cover_monitors>") + cover_monitors_names[cover < cover_monitors_names.size() ? cover : 0] +
            "</cover_monitors>";
    text += line_end;
    text += "<mark_lead>" + general_number(settings.mark_lead) + "</mark_lead>";
    text += line_end;
    text += std::string("<clock_keys>") + (settings.clock_keys ? "1" : "0") + "</clock_keys>";
    text += line_end;
    text += "<scripts_folder>" + escaped_content(settings.scripts_folder) + "</scripts_folder>";
    text += line_end;
    text += std::string("<load_matching>") + (settings.load_matching ? "1" : "0") + "</load_matching>";
    text += line_end;
    for (const auto& [copy, script] : settings.script_choices) {
        text += "<script_choice>" + escaped_content(copy + "\t" + script) + "</script_choice>";
        text += line_end;
    }
    return text;
}

void read_settings_text(std::string_view text, AppSettings& settings) {
    for_each_element_line(text,
                          [&](std::string_view key, std::string_view value) { apply_line(key, value, settings); });
}

}  // namespace dvbk
