#include "cli/commands.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <sstream>

#include "cli/edl.h"
#include "cli/input_lines.h"
#include "cli/labels.h"
#include "cli/match_commands.h"
#include "cli/mcf.h"
#include "cli/ranges.h"
#include "cli/skp.h"
#include "cli/subtitles.h"
#include "resources/version.h"
#include "script/film_time.h"
#include "script/filter_script.h"
#include "script/script_edit.h"
#include "text/c_locale.h"
#include "text/whole_file.h"

namespace dvbk {
namespace {

constexpr const char* HELP_TEXT =
    "Usage: dvbk COMMAND [OPTIONS] FILE       (FILE '-' is standard input)\n"
    "\n"
    "  dvbk check FILE        load a filter script; print a summary, or the first error\n"
    "  dvbk events FILE       the script's events, one \"SECONDS<TAB>KIND\" a line, then \"End<TAB>SECONDS\"\n"
    "  dvbk export --to kodi|mplayer|skp|mcf [--cover=skip|drop] FILE\n"
    "                         the script's ranges as an edit decision list (EDL), a skip file or a\n"
    "                         Movie Content Filter file; --cover is for the EDLs\n"
    "  dvbk import --from kodi|mplayer|skp|mcf [OPTIONS] FILE\n"
    "                         an EDL, skip file or Movie Content Filter file as a filter script\n"
    "      --fps N                       frames per second, for Kodi frame numbers (#N)\n"
    "      --categories NAME[,NAME...]   skp and MCF: only ranges of these categories (any letter\n"
    "                                    case; skp compares the first three letters)\n"
    "      --max-severity N              skp and MCF: the most severe content you accept. Ranges\n"
    "                                    rated N or below are left out, those above are kept.\n"
    "                                    skp 0-3 (1 bad for children, 2 for teens, 3 even for\n"
    "                                    adults; 0 keeps all), MCF low|medium|high\n"
    "      --min-severity low|medium|high  MCF cues at least this severe (default low)\n"
    "      --only CATEGORY[,CATEGORY...]   MCF cues of these categories only\n"
    "      --sync START,END              your copy's first and last frame times; MCF times are\n"
    "                                    stretched from the file's START and END onto them\n"
    "  dvbk retime --map A1=B1,A2=B2 | --offset S [--copy hash=HEX|page=ADDRESS] FILE\n"
    "                         the script for another copy of the film: two moments known in\n"
    "                         the script (A) and in the copy (B) give its offset and speed;\n"
    "                         --offset S alone shifts every time by S seconds; with --copy the\n"
    "                         map goes into a '# copy:' line for that copy instead\n"
    "  dvbk match [--folder DIR] [--title T] [--duration D] FILE_OR_ADDRESS\n"
    "                         the scripts in DIR (default: the program's scripts folder) for the video\n"
    "                         file or page address, best first: \"PATH<TAB>why\" a line\n"
    "  dvbk describe --match file=NAME|hash=HEX|page=PATTERN|title=TEXT [--match ...]\n"
    "                [--film \"Title (Year)\"] [--duration T] FILE\n"
    "                         the script with these lines added to its description\n"
    "  dvbk subtitles [OPTIONS] FILM.srt|FILM.vtt\n"
    "                         a script that mutes the words of a list where the film's subtitles\n"
    "                         (SubRip or WebVTT) have them; a summary goes to standard error\n"
    "      --words FILE                  the word list (default: words.txt beside dvbk)\n"
    "      --pad-before S                seconds muted before each word's estimated time,\n"
    "      --pad-after S                 and after it: 0 to 5 (default 0.5 each)\n"
    "      --whole-cue                   mute every cue that has a word, start to end\n"
    "      -o SCRIPT                     write the script to SCRIPT, not standard output\n"
    "  dvbk --help | --version\n"
    "\n"
    "Exit status: 0 done, 1 the input was refused, 2 the command line was wrong.\n"
    "Warnings about anything lost in a conversion go to standard error.\n";

constexpr const char* STDIN_NAME = "<stdin>";

class UsageError {
public:
    explicit UsageError(std::string message) : message(std::move(message)) {}
    std::string message;
};

struct CommandLine {
    std::string command;
    std::string file;
    CommandOptions options;

    const std::string* option(const std::string& name) const {
        auto found = options.find(name);
        return found == options.end() ? nullptr : &found->second;
    }
};

// The options each command takes: those that take a value, and flags. A one-letter name is written
// "-o", a longer one "--name".
struct OptionNames {
    std::vector<std::string> values;
    std::vector<std::string> flags;
};
const std::map<std::string, OptionNames> command_options = {
    {"check", {}},
    {"events", {}},
    {"export", {{"to", "cover"}, {}}},
    {"import", {{"from", "fps", "categories", "max-severity", "min-severity", "only", "sync"}, {}}},
    {"retime", {{"map", "offset", "copy"}, {}}},
    {"match", {{"folder", "title", "duration"}, {}}},
    {"describe", {{"match", "film", "duration"}, {}}},
    {"subtitles", {{"words", "pad-before", "pad-after", "o"}, {"whole-cue"}}},
};

bool listed(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

CommandLine parse_command_line(const std::vector<std::string>& args) {
    CommandLine line;
    line.command = args[0];
    auto known = command_options.find(line.command);
    if (known == command_options.end())
        throw UsageError("unknown command '" + quote_line(line.command) + "'");
    bool options_end = false;
    bool has_file = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!options_end && arg == "--") {
            options_end = true;
            continue;
        }
        if (options_end || arg == "-" || !arg.starts_with('-')) {
            if (has_file)
                throw UsageError(line.command + " takes one FILE, and '" + quote_line(arg) + "' is a second");
            line.file = arg;
            has_file = true;
            continue;
        }
        size_t equals = arg.starts_with("--") ? arg.find('=') : std::string::npos;
        std::string name = arg.substr(0, equals);
        std::string key = name.substr(name.starts_with("--") ? 2 : 1);
        bool written_right = (key.size() == 1) == !name.starts_with("--");
        bool flag = listed(known->second.flags, key);
        if (!written_right || (!flag && !listed(known->second.values, key)))
            throw UsageError(line.command + " has no option '" + quote_line(name) + "'");
        std::string value;
        if (flag && equals != std::string::npos)
            throw UsageError(name + " takes no value");
        else if (equals != std::string::npos)
            value = arg.substr(equals + 1);
        else if (!flag && i + 1 < args.size())
            value = args[++i];
        else if (!flag)
            throw UsageError(name + " needs a value");
        if (key != "match" && line.options.count(key))
            throw UsageError(name + " is given twice");
        line.options.emplace(key, value);
    }
    if (!has_file)
        throw UsageError(line.command + " needs a FILE ('-' for standard input)");
    return line;
}

// The whole input named on the command line, "-" being standard input. A read that broke off must
// not pass for the end of the file: what came before it may look fine.
struct Input {
    std::string text;
    std::string name;
};

bool read_input(const std::string& file, std::istream& std_in, Input& input, std::ostream& err) {
    input.name = file == "-" ? STDIN_NAME : file;
    std::string error;
    bool read = file == "-" ? read_whole_stream(std_in, input.text, error) : read_whole_file(file, input.text, error);
    if (!read)
        err << file_error_message(input.name, error) << '\n';
    return read;
}

// The script the command line names, loaded from `input`, which keeps its text.
bool load_script(const CommandLine& line, std::istream& std_in, Input& input, FilterScript& script, std::ostream& err) {
    if (!read_input(line.file, std_in, input, err))
        return false;
    if (!load_filter_script_text(input.text, input.name, script)) {
        err << script.load_error << '\n';
        return false;
    }
    return true;
}

void print_warnings(const std::vector<std::string>& warnings, std::ostream& err) {
    for (const std::string& warning : warnings)
        err << "dvbk: warning: " << warning << '\n';
}

int run_check(const CommandLine& line, std::istream& in, std::ostream& out, std::ostream& err) {
    Input input;
    FilterScript script;
    if (!load_script(line, in, input, script, err))
        return EXIT_FAILED;
    return write_output(check_summary(script) + "\n", out, err);
}

int run_events(const CommandLine& line, std::istream& in, std::ostream& out, std::ostream& err) {
    Input input;
    FilterScript script;
    if (!load_script(line, in, input, script, err))
        return EXIT_FAILED;
    return write_output(event_lines(script), out, err);
}

int run_export(const CommandLine& line, std::istream& in, std::ostream& out, std::ostream& err) {
    const std::string* to = line.option("to");
    if (!to)
        throw UsageError("export needs --to kodi, mplayer, skp or mcf");
    bool edl = *to == "kodi" || *to == "mplayer";
    if (!edl && *to != "skp" && *to != "mcf")
        throw UsageError("--to takes kodi, mplayer, skp or mcf, not '" + quote_line(*to) + "'");
    if (line.option("cover") && !edl)
        throw UsageError("--cover is for --to kodi or mplayer only: skip files and MCF can hide the picture");
    CoverMode cover_mode = CoverMode::Skip;
    if (const std::string* cover = line.option("cover")) {
        if (*cover != "skip" && *cover != "drop")
            throw UsageError("--cover takes skip or drop, not '" + quote_line(*cover) + "'");
        cover_mode = *cover == "skip" ? CoverMode::Skip : CoverMode::Drop;
    }
    Input input;
    FilterScript script;
    if (!load_script(line, in, input, script, err))
        return EXIT_FAILED;
    std::vector<std::string> warnings;
    std::string text;
    if (edl) {
        text = edl_text(script, cover_mode, warnings);
    } else {
        std::vector<NotedRange> ranges = noted_ranges(input.text, warnings);
        if (*to == "mcf") {
            text = ranges.empty() ? "" : mcf_text(ranges, script.film_end);
        } else {
            text = ranges.empty() ? "" : skp_text(ranges);
            if (script.film_end != 0.0) {
                warnings.push_back("the film's end (" + rounded_time_text(script.film_end) +
                                   ") is left out: a skip file has no place for it");
            }
        }
    }
    print_warnings(warnings, err);
    // An empty list would pass for a filter that does nothing.
    if (text.empty()) {
        err << "dvbk: " << quote_line(line.file == "-" ? STDIN_NAME : line.file) << ": no ranges to export\n";
        return EXIT_FAILED;
    }
    return write_output(text, out, err);
}

double positive_number(const std::string& option, const std::string& text) {
    CReader reader(text);
    double value = 0.0;
    if (!reader.read_double(value) || !reader.at_end() || !(value > 0.0))
        throw UsageError("--" + option + " takes a number above 0, not '" + quote_line(text) + "'");
    return value;
}

// "a,b": names separated by commas, none of them empty.
std::vector<std::string> name_list(const std::string& option, const std::string& text) {
    std::vector<std::string> names;
    std::istringstream list(text);
    for (std::string name; std::getline(list, name, ',');)
        names.push_back(name);
    if (names.empty() || text.ends_with(',') || std::find(names.begin(), names.end(), "") != names.end())
        throw UsageError("--" + option + " takes category names separated by commas, not '" + quote_line(text) + "'");
    return names;
}

// --categories and --max-severity choose from a skip file or an MCF file; MCF's older --only and
// --min-severity say the same another way, and only one of each pair may be given.
void check_choice_options(const CommandLine& line) {
    if (line.option("categories") && line.option("only"))
        throw UsageError("--categories and --only are two names for one choice: give one");
    if (line.option("max-severity") && line.option("min-severity"))
        throw UsageError("--max-severity and --min-severity are two ways to give one choice: give one");
}

SkpOptions skp_options(const CommandLine& line) {
    SkpOptions options;
    if (const std::string* categories = line.option("categories"))
        options.categories = name_list("categories", *categories);
    if (const std::string* severity = line.option("max-severity")) {
        std::int64_t rating = 0;
        if (!read_whole(*severity, rating) || rating > MAX_RATING)
            throw UsageError("--max-severity takes 0, 1, 2 or 3 for a skip file, not '" + quote_line(*severity) + "'");
        options.max_rating = static_cast<int>(rating);
    }
    return options;
}

McfOptions mcf_options(const CommandLine& line) {
    McfOptions options;
    if (const std::string* severity = line.option("min-severity")) {
        if (!read_severity(*severity, options.min_severity))
            throw UsageError("--min-severity takes low, medium or high, not '" + quote_line(*severity) + "'");
    }
    if (const std::string* severity = line.option("max-severity")) {
        Severity max = Severity::Low;
        if (!read_severity(*severity, max))
            throw UsageError("--max-severity takes low, medium or high for MCF, not '" + quote_line(*severity) + "'");
        options.max_severity = max;
    }
    if (const std::string* only = line.option("only"))
        options.only = name_list("only", *only);
    if (const std::string* categories = line.option("categories"))
        options.only = name_list("categories", *categories);
    if (const std::string* sync = line.option("sync")) {
        size_t comma = sync->find(',');
        bool read = comma != std::string::npos && read_time(sync->substr(0, comma), options.sync_start) &&
                    read_time(sync->substr(comma + 1), options.sync_end);
        if (!read || options.sync_start < 0.0 || options.sync_end <= options.sync_start)
            throw UsageError("--sync takes START,END, two film times with START before END, not '" + quote_line(*sync) +
                             "'");
        options.sync = true;
    }
    return options;
}

// "dvbk: left out: 4 cues of other categories, 7 at or below severity 2", when the user's choice
// left any out.
void print_left_out(const CommandLine& line, const ImportedRanges& imported, std::ostream& err) {
    std::vector<std::string> parts;
    auto cues = [](std::size_t count) { return std::to_string(count) + (count == 1 ? " cue" : " cues"); };
    if (imported.left_out_category > 0)
        parts.push_back(cues(imported.left_out_category) + " of other categories");
    if (imported.left_out_severity > 0) {
        const std::string* max = line.option("max-severity");
        const std::string* min = line.option("min-severity");
        std::string count =
            parts.empty() ? cues(imported.left_out_severity) : std::to_string(imported.left_out_severity);
        parts.push_back(count + (max   ? " at or below severity " + quote_line(*max)
                                 : min ? " below severity " + quote_line(*min)
                                       : " not severe enough"));
    }
    if (parts.empty())
        return;
    err << "dvbk: left out: " << parts[0];
    for (size_t i = 1; i < parts.size(); ++i)
        err << ", " << parts[i];
    err << '\n';
}

int run_import(const CommandLine& line, std::istream& in, std::ostream& out, std::ostream& err) {
    const std::string* from = line.option("from");
    if (!from)
        throw UsageError("import needs --from kodi, mplayer, skp or mcf");
    bool mcf = *from == "mcf";
    bool skp = *from == "skp";
    if (!mcf && !skp && *from != "kodi" && *from != "mplayer")
        throw UsageError("--from takes kodi, mplayer, skp or mcf, not '" + quote_line(*from) + "'");
    if (line.option("fps") && *from != "kodi")
        throw UsageError("--fps is for --from kodi only");
    for (const char* option : {"min-severity", "only", "sync"}) {
        if (line.option(option) && !mcf)
            throw UsageError(std::string("--") + option + " is for --from mcf only");
    }
    for (const char* option : {"categories", "max-severity"}) {
        if (line.option(option) && !mcf && !skp)
            throw UsageError(std::string("--") + option + " is for --from skp or mcf only");
    }
    check_choice_options(line);
    EdlOptions edl_options;
    edl_options.dialect = *from == "kodi" ? EdlDialect::Kodi : EdlDialect::MPlayer;
    if (const std::string* fps = line.option("fps"))
        edl_options.fps = positive_number("fps", *fps);
    McfOptions options = mcf ? mcf_options(line) : McfOptions();
    SkpOptions choice = skp ? skp_options(line) : SkpOptions();

    Input input;
    if (!read_input(line.file, in, input, err))
        return EXIT_FAILED;
    ImportedRanges imported;
    std::vector<std::string> warnings;
    std::string error;
    std::istringstream lines(input.text);
    bool read = mcf   ? read_mcf(lines, input.name, options, imported, warnings, error)
                : skp ? read_skp(lines, input.name, choice, imported, warnings, error)
                      : read_edl(lines, input.name, edl_options, imported, warnings, error);
    print_warnings(warnings, err);
    if (!read) {
        err << "dvbk: " << error << '\n';
        return EXIT_FAILED;
    }
    print_left_out(line, imported, err);

    const char* format = mcf               ? "Movie Content Filter file"
                         : skp             ? "skip file"
                         : *from == "kodi" ? "Kodi EDL"
                                           : "MPlayer EDL";
    std::string text =
        script_text(imported, std::string("Imported by dvbk from the ") + format + " " + quote_line(input.name));
    // Print only what the program itself will load.
    FilterScript script;
    if (!load_filter_script_text(text, input.name, script)) {
        if (script.events.empty())
            err << "dvbk: " << quote_line(input.name) << ": no ranges to import\n";
        else
            err << "dvbk: the imported script does not load: " << script.load_error << '\n';
        return EXIT_FAILED;
    }
    return write_output(text, out, err);
}

// "A1=B1,A2=B2": two moments, each as the script and as the copy have it.
TimeMap map_option(const std::string& value) {
    double times[4] = {};
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        size_t end = value.find(i % 2 == 0 ? '=' : ',', start);
        if ((i < 3) == (end == std::string::npos) || !read_time(value.substr(start, end - start), times[i]))
            throw UsageError("--map takes A1=B1,A2=B2, four times, not '" + quote_line(value) + "'");
        start = end + 1;
    }
    std::string refusal;
    std::optional<TimeMap> map = fit_two_points(times[0], times[1], times[2], times[3], &refusal);
    if (!map)
        throw UsageError("--map gives no map: " + refusal);
    return *map;
}

int run_retime(const CommandLine& line, std::istream& in, std::ostream& out, std::ostream& err) {
    const std::string* map_text = line.option("map");
    const std::string* offset_text = line.option("offset");
    if (!map_text == !offset_text)
        throw UsageError("retime needs --map A1=B1,A2=B2 or --offset S");
    TimeMap map;
    if (map_text) {
        map = map_option(*map_text);
    } else {
        if (!read_offset(*offset_text, map.offset))
            throw UsageError("--offset takes a time, not '" + quote_line(*offset_text) + "'");
    }
    if (const std::string* copy = line.option("copy"))
        return run_retime_copy(line.file, *copy, map, in, out, err);
    Input input;
    FilterScript script;
    if (!load_script(line, in, input, script, err))
        return EXIT_FAILED;
    std::vector<std::string> warnings;
    ScriptEdit retimed = retime_script(input.text, map, warnings);
    print_warnings(warnings, err);
    if (!retimed.ok) {
        err << "dvbk: the retimed script does not load: " << retimed.reason << '\n';
        return EXIT_FAILED;
    }
    return write_output(retimed.text, out, err);
}

// Seconds of a pad: 0 to 5.
double pad_seconds(const std::string& option, const std::string& text) {
    double value = 0.0;
    if (!read_decimal(text, value) || value > 5.0)
        throw UsageError("--" + option + " takes seconds from 0 to 5, not '" + quote_line(text) + "'");
    return value;
}

bool same_file(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
}

int run_subtitles(const CommandLine& line, const std::string& program_folder, std::istream& in, std::ostream& out,
                  std::ostream& err) {
    SubtitleOptions options;
    if (const std::string* pad = line.option("pad-before"))
        options.pad_before = pad_seconds("pad-before", *pad);
    if (const std::string* pad = line.option("pad-after"))
        options.pad_after = pad_seconds("pad-after", *pad);
    options.whole_cue = line.option("whole-cue") != nullptr;
    const std::string* words_option = line.option("words");
    std::string words_file = words_option ? *words_option : program_folder + WORD_LIST_FILE;
    if (words_file == "-" && line.file == "-")
        throw UsageError("standard input gives the subtitles or the word list, not both");
    const std::string* output = line.option("o");
    bool to_file = output && *output != "-";
    // A slip of the keyboard must not put the script over the subtitles or the list.
    if (to_file && (same_file(*output, line.file) || same_file(*output, words_file)))
        throw UsageError("-o names the subtitles or the word list: '" + quote_line(*output) + "'");

    Input words_input;
    if (!read_input(words_file, in, words_input, err)) {
        if (!words_option)
            err << "dvbk: the word list is missing beside dvbk; --words FILE names another\n";
        return EXIT_FAILED;
    }
    WordList words;
    std::vector<std::string> warnings;
    std::string error;
    bool listed_words = read_word_list(words_input.text, words_input.name, words, warnings, error);
    print_warnings(warnings, err);
    warnings.clear();
    if (!listed_words) {
        err << "dvbk: " << error << '\n';
        return EXIT_FAILED;
    }

    Input input;
    if (!read_input(line.file, in, input, err))
        return EXIT_FAILED;
    SubtitleScript made;
    bool read = subtitle_script(input.text, input.name, words, options, made, warnings, error);
    print_warnings(warnings, err);
    if (!read) {
        err << "dvbk: " << error << '\n';
        return EXIT_FAILED;
    }
    if (made.text.empty()) {
        err << "dvbk: " << quote_line(input.name) << ": none of its " << made.cues
            << " cues has a word of the list; no script written\n";
        return EXIT_FAILED;
    }
    FilterScript script;
    if (!load_filter_script_text(made.text, input.name, script)) {
        err << "dvbk: the script made does not load: " << script.load_error << '\n';
        return EXIT_FAILED;
    }
    if (to_file) {
        std::ofstream file(*output, std::ios::binary);
        file << made.text;
        file.close();
        if (!file) {
            err << "dvbk: " << quote_line(*output) << " could not be written\n";
            return EXIT_FAILED;
        }
    } else if (write_output(made.text, out, err) != EXIT_OK) {
        return EXIT_FAILED;
    }
    err << subtitle_summary(made) << '\n';
    return EXIT_OK;
}

}  // namespace

int write_output(const std::string& text, std::ostream& out, std::ostream& err) {
    out << text;
    out.flush();
    if (!out) {
        err << "dvbk: the output could not be written\n";
        return EXIT_FAILED;
    }
    return EXIT_OK;
}

int run_dvbk(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
             const std::string& program_folder) {
    try {
        if (args.empty())
            throw UsageError("no command given");
        for (const std::string& arg : args) {
            if (arg == "--")
                break;
            if (arg == "--help" || arg == "-h")
                return write_output(HELP_TEXT, out, err);
        }
        if (args[0] == "--version")
            return write_output("dvbk " DVBK_VERSION "\n", out, err);
        CommandLine line = parse_command_line(args);
        if (line.command == "check")
            return run_check(line, in, out, err);
        if (line.command == "events")
            return run_events(line, in, out, err);
        if (line.command == "export")
            return run_export(line, in, out, err);
        if (line.command == "retime")
            return run_retime(line, in, out, err);
        if (line.command == "match" || line.command == "describe")
            return run_match_command(line.command, line.file, line.options, in, out, err);
        if (line.command == "subtitles")
            return run_subtitles(line, program_folder, in, out, err);
        return run_import(line, in, out, err);
    } catch (const UsageError& usage) {
        err << "dvbk: " << usage.message << " (see dvbk --help)\n";
        return EXIT_USAGE;
    } catch (const std::bad_alloc&) {
        err << "dvbk: out of memory\n";
        return EXIT_FAILED;
    }
}

}  // namespace dvbk
