#include "cli/match_commands.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "cli/commands.h"
#include "script/film_match.h"
#include "script/film_time.h"
#include "script/filter_script.h"
#include "script/video_hash.h"
#include "settings/settings_file.h"
#include "text/c_locale.h"
#include "text/whole_file.h"

namespace dvbk {
namespace {

int usage(const std::string& message, std::ostream& err) {
    err << "dvbk: " << message << " (see dvbk --help)\n";
    return EXIT_USAGE;
}

void print_warnings(const std::string& name, const std::vector<std::string>& warnings, std::ostream& err) {
    for (const std::string& warning : warnings)
        err << "dvbk: warning: " << quote_line(name) << ' ' << warning << '\n';
}

// The folder the program's settings name (settings.xml in the all-users application data, which
// the environment's PROGRAMDATA gives on Windows), else Documents\DunvelBlenk in the user's home
// folder; empty when the environment names neither.
std::string scripts_folder() {
    if (const char* data = std::getenv("PROGRAMDATA"); data && *data) {
        std::string text;
        std::string error;
        AppSettings settings;
        if (read_whole_file((std::filesystem::path(data) / "DunvelBlenk" / "settings.xml").string(), text, error))
            read_settings_text(text, settings);
        if (!settings.scripts_folder.empty())
            return settings.scripts_folder;
    }
    const char* home = nullptr;
#ifdef _WIN32
    home = std::getenv("USERPROFILE");
#endif
    if (!home || !*home)
        home = std::getenv("HOME");
    return home && *home ? (std::filesystem::path(home) / "Documents" / "DunvelBlenk").string() : std::string();
}

bool is_page_address(std::string_view target) {
    return equals_ignoring_case(target.substr(0, 7), "http://") ||
           equals_ignoring_case(target.substr(0, 8), "https://");
}

// The scripts in `folder` that load, with their descriptions, by path; those that do not load are
// skipped with a warning. False when the folder cannot be listed.
bool described_scripts(const std::string& folder, std::vector<DescribedScript>& scripts, std::ostream& err) {
    std::error_code error;
    std::vector<std::string> paths;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        if (entry->is_regular_file(error) && is_script_file_name(entry->path().filename().string()))
            paths.push_back(entry->path().string());
    }
    if (error) {
        err << "dvbk: " << quote_line(folder) << " cannot be read as a folder\n";
        return false;
    }
    std::sort(paths.begin(), paths.end());
    for (const std::string& path : paths) {
        std::string text, why;
        FilterScript script;
        if (!read_whole_file(path, text, why)) {
            err << "dvbk: warning: skipped: " << file_error_message(path, why) << '\n';
        } else if (!load_filter_script_text(text, path, script)) {
            err << "dvbk: warning: skipped: " << script.load_error << '\n';
        } else {
            std::vector<std::string> warnings;
            scripts.push_back({path, read_film_description(text, warnings)});
            print_warnings(path, warnings, err);
        }
    }
    return true;
}

// The script `file` names ("-" standard input) with `added` written into its description; refused
// when the script does not load.
int print_described(const std::string& file, const FilmDescription& added, std::istream& in, std::ostream& out,
                    std::ostream& err) {
    std::string name = file == "-" ? "<stdin>" : file, text, why;
    FilterScript script;
    if (!(file == "-" ? read_whole_stream(in, text, why) : read_whole_file(file, text, why))) {
        err << file_error_message(name, why) << '\n';
        return EXIT_FAILED;
    }
    if (!load_filter_script_text(text, name, script)) {
        err << script.load_error << '\n';
        return EXIT_FAILED;
    }
    ScriptEdit edit = describe_script(text, added);
    if (!edit.ok) {
        err << "dvbk: " << edit.reason << '\n';
        return EXIT_FAILED;
    }
    return write_output(edit.text, out, err);
}

// "--duration T": a time above 0.
bool duration_option(const CommandOptions& options, double& seconds) {
    auto found = options.find("duration");
    seconds = 0.0;
    return found == options.end() || (read_time(found->second, seconds) && seconds > 0.0);
}

int run_match(const std::string& target, const CommandOptions& options, std::ostream& out, std::ostream& err) {
    VideoSource source;
    if (target == "-")
        return usage("match takes a video file or a page address, not standard input", err);
    if (!duration_option(options, source.duration))
        return usage("--duration takes a time above 0", err);
    auto title = options.find("title");
    source.title = title == options.end() ? std::string() : title->second;
    if (is_page_address(target)) {
        source.page = target;
    } else {
        source.file_name = std::filesystem::path(target).filename().string();
        hash_of_file(target, source.hash);
    }
    auto folder_option = options.find("folder");
    std::string folder = folder_option == options.end() ? scripts_folder() : folder_option->second;
    if (folder.empty())
        return usage("no home folder is known: give --folder DIR", err);
    std::vector<DescribedScript> scripts;
    if (!described_scripts(folder, scripts, err))
        return EXIT_FAILED;
    ScriptMatches matches = match_scripts(source, scripts);
    if (matches.outcome() == MatchOutcome::None) {
        err << "dvbk: no script in " << quote_line(folder) << " matches " << quote_line(target) << '\n';
        return EXIT_FAILED;
    }
    std::string lines;
    for (const ScriptMatch& match : matches.best_first)
        lines += match.path + '\t' + match_reason_text(match.reason) + '\n';
    return write_output(lines, out, err);
}

int run_describe(const std::string& file, const CommandOptions& options, std::istream& in, std::ostream& out,
                 std::ostream& err) {
    FilmDescription added;
    for (auto [match, end] = options.equal_range("match"); match != end; ++match) {
        std::string why;
        added.matches.emplace_back();
        if (!read_match_rule(match->second, added.matches.back(), why))
            return usage("--match " + quote_line(match->second) + ": " + why, err);
    }
    if (auto film = options.find("film"); film != options.end() && (added.film = fold_blanks(film->second)).empty())
        return usage("--film needs the film's name", err);
    if (!duration_option(options, added.duration))
        return usage("--duration takes a time above 0", err);
    if (added.matches.empty() && added.film.empty() && added.duration == 0.0)
        return usage("describe needs --match, --film or --duration", err);

    return print_described(file, added, in, out, err);
}

}  // namespace

int run_match_command(const std::string& command, const std::string& file, const CommandOptions& options,
                      std::istream& in, std::ostream& out, std::ostream& err) {
    return command == "match" ? run_match(file, options, out, err) : run_describe(file, options, in, out, err);
}

int run_retime_copy(const std::string& file, const std::string& source, const TimeMap& map, std::istream& in,
                    std::ostream& out, std::ostream& err) {
    FilmDescription added;
    added.copies.emplace_back();
    added.copies.back().map = map;
    std::string why;
    MatchRule& rule = added.copies.back().source;
    if (!read_match_rule(source, rule, why) || (rule.kind != MatchKind::Hash && rule.kind != MatchKind::Page))
        return usage("--copy takes hash=HEX or page=ADDRESS, not '" + quote_line(source) + "'", err);
    return print_described(file, added, in, out, err);
}

}  // namespace dvbk
