#include "script/filter_script.h"

#include <algorithm>

#include "script/film_time.h"
#include "text/c_locale.h"
#include "text/whole_file.h"

namespace dvbk {
namespace {

void strip_white_space(std::string& line) {
    line.erase(std::remove_if(line.begin(), line.end(), is_c_space), line.end());
}

// Fields split at commas. A field exists when the line goes on after the comma before it, so
// "Dunvel,1:00," has no third field while "Dunvel,1:00,," has an empty one.
class Fields {
public:
    explicit Fields(std::string_view line) : line_(line) {}

    bool next(std::string_view& field) {
        if (started_ && pos_ >= line_.size())
            return false;
        started_ = true;
        size_t comma = line_.find(',', pos_);
        size_t end = comma == std::string_view::npos ? line_.size() : comma;
        field = line_.substr(pos_, end - pos_);
        pos_ = comma == std::string_view::npos ? line_.size() : comma + 1;
        return true;
    }

private:
    std::string_view line_;
    size_t pos_ = 0;
    bool started_ = false;
};

struct Trackers {
    double last_mute_end = 0.0;
    double last_cover_end = 0.0;
};

// A line with its blanks removed, read as the loader reads it.
ScriptLineRead read_stripped(std::string_view line) {
    ScriptLineRead read;
    Fields fields(line);
    std::string_view command;
    fields.next(command);
    if (!command.empty() && command.front() == '#')
        return read;

    if (equals_ignoring_case(command, "End")) {
        std::string_view end_text;
        if (!fields.next(end_text) || !read_time(end_text, read.start))
            read.error = "Error parsing end time: ";
        else
            read.film_end = true;
        return read;
    }

    std::string_view start_text;
    std::string_view end_text;
    if (!fields.next(start_text) || !fields.next(end_text)) {
        read.error = "Expected times after command: ";
    } else if (!read_time(start_text, read.start) || !read_time(end_text, read.end)) {
        read.error = "Error parsing times: ";
    } else if (read.end < read.start) {
        read.error = "Start time must be before end time: ";
    } else {
        // The command is identified last, so a bad time wins over an unknown command.
        read.kind = range_kind(command);
        if (!read.kind)
            read.error = "Unexpected command: ";
    }
    return read;
}

// Returns the error message for the line, or nullptr when the line is fine.
const char* process_line(std::string_view line, FilterScript& script, Trackers& trackers) {
    ScriptLineRead read = read_stripped(line);
    if (read.error)
        return read.error;
    if (read.film_end)
        script.film_end = read.start;
    if (!read.kind)
        return nullptr;
    double start = read.start;
    double end = read.end;
    bool mutes = read.kind == RangeKind::Mute;
    bool covers = read.kind == RangeKind::Cover;
    bool combined = read.kind == RangeKind::Combined;
    if ((mutes || combined) && start < trackers.last_mute_end)
        return "Dunvel starts before prior Dunvel ends: ";
    if ((covers || combined) && start < trackers.last_cover_end)
        return "Blenk starts before prior Blenk ends: ";

    if (mutes) {
        script.events.push_back({EventKind::MuteStart, start});
        script.events.push_back({EventKind::MuteEnd, end});
    } else if (covers) {
        script.events.push_back({EventKind::CoverStart, start});
        script.events.push_back({EventKind::CoverEnd, end});
    } else {
        script.events.push_back({EventKind::BothStart, start});
        script.events.push_back({EventKind::MuteEnd, end});
        script.events.push_back({EventKind::CoverEnd, end});
    }
    if (mutes || combined)
        trackers.last_mute_end = end;
    if (covers || combined)
        trackers.last_cover_end = end;
    return nullptr;
}

}  // namespace

const char* range_command(RangeKind kind) {
    switch (kind) {
        case RangeKind::Mute:
            return "Dunvel";
        case RangeKind::Cover:
            return "Blenk";
        case RangeKind::Combined:
            return "DunvelBlenk";
    }
    return "";
}

std::string range_line(RangeKind kind, double start, double end) {
    return std::string(range_command(kind)) + ", " + exact_time_text(start) + ", " + exact_time_text(end);
}

std::optional<RangeKind> range_kind(std::string_view command) {
    if (equals_ignoring_case(command, "Dunvel"))
        return RangeKind::Mute;
    if (equals_ignoring_case(command, "Blenk"))
        return RangeKind::Cover;
    if (equals_ignoring_case(command, "DunvelBlenk") || equals_ignoring_case(command, "BlenkDunvel"))
        return RangeKind::Combined;
    return std::nullopt;
}

std::string_view after_range_times(std::string_view line) {
    size_t comma = 0;
    for (int i = 0; i < 3; ++i) {
        comma = line.find(',', i == 0 ? 0 : comma + 1);
        if (comma == std::string_view::npos)
            return {};
    }
    return line.substr(comma);
}

ScriptLineRead read_script_line_as_loaded(std::string_view line) {
    std::string stripped(line);
    strip_white_space(stripped);
    return read_stripped(stripped);
}

void report_script_error(FilterScript& script, std::string_view message, std::string_view file_name,
                         std::int64_t line_number) {
    script.load_error = "Error processing file: ";
    script.load_error += message;
    script.load_error += " in file: ";
    script.load_error += file_name;
    script.load_error += " at line ";
    script.load_error += std::to_string(line_number);
}

bool load_filter_script_text(std::string_view text, const std::string& file_name, FilterScript& script) {
    script.events.clear();
    if (text.starts_with(UTF8_BOM))
        text.remove_prefix(UTF8_BOM.size());
    Trackers trackers;
    // 64 bits: a file of billions of empty lines must not overflow the count.
    std::int64_t line_number = 0;
    std::string line;
    for (size_t start = 0; start < text.size();) {
        size_t end = std::min(text.find('\n', start), text.size());
        line.assign(text.substr(start, end - start));
        start = end + 1;
        ++line_number;
        strip_white_space(line);
        if (line.empty())
            continue;
        if (const char* error = process_line(line, script, trackers)) {
            report_script_error(script, std::string(error) + quote_line(line), file_name, line_number);
            return false;
        }
    }
    if (script.events.empty()) {
        script.load_error = "Error, file '" + file_name + "' has no valid commands";
        return false;
    }
    // Stable for every length: where one range ends as the next of its kind begins, the end event
    // stays before the start event, so the sound stays off (or the cover up) across the seam.
    std::stable_sort(script.events.begin(), script.events.end(),
                     [](const FilterEvent& a, const FilterEvent& b) { return a.time < b.time; });
    return true;
}

bool load_filter_script(const std::string& file_name, FilterScript& script) {
    script.events.clear();
    std::string text, error;
    if (!read_whole_file(file_name, text, error)) {
        script.load_error = file_error_message(file_name, error);
        return false;
    }
    return load_filter_script_text(text, file_name, script);
}

}  // namespace dvbk
