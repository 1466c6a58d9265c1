#include "text/whole_file.h"

#include <fstream>

namespace dvbk {
namespace {

constexpr std::streamsize CHUNK_BYTES = 64 * 1024;
constexpr const char* CANNOT_OPEN = "cannot be opened";

std::streamsize read_from_stream(std::istream& in, char* buffer, std::streamsize size) {
    in.read(buffer, size);
    return in.gcount();
}

FileReader file_reader = read_from_stream;

// Where the open file ends now, -1 when that cannot be told.
std::streamoff end_of(std::istream& in) {
    in.clear();
    if (!in.seekg(0, std::ios::end))
        return -1;
    return in.tellg();
}

bool fail(std::string& text, std::string& error, const char* why) {
    text.clear();
    error = why;
    return false;
}

}  // namespace

void set_file_reader(FileReader reader) {
    file_reader = reader ? reader : read_from_stream;
}

bool read_whole_stream(std::istream& in, std::string& text, std::string& error) {
    text.clear();
    for (;;) {
        size_t had = text.size();
        if (had > MAX_FILE_BYTES)
            return fail(text, error, "is larger than 256 MiB");
        text.resize(had + CHUNK_BYTES);
        std::streamsize got = file_reader(in, text.data() + had, CHUNK_BYTES);
        text.resize(had + static_cast<size_t>(got > 0 ? got : 0));
        if (in.bad())
            return fail(text, error, "could not be read to its end");
        if (got < CHUNK_BYTES) {
            // A read that stops short is the end only where the stream says so: anything else
            // broke off, and what came before it may look like a whole file.
            if (!in.eof())
                return fail(text, error, "could not be read to its end");
            return true;
        }
    }
}

std::string file_error_message(const std::string& name, const std::string& error) {
    if (error == CANNOT_OPEN)
        return "Error opening file '" + name + "'";
    return "Error reading file '" + name + "': " + error;
}

bool read_whole_file(const std::string& path, std::string& text, std::string& error) {
    text.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return fail(text, error, CANNOT_OPEN);
    std::streamoff size = end_of(in);
    if (size < 0 || !in.seekg(0))
        return fail(text, error, "could not be read to its end");
    if (static_cast<std::uint64_t>(size) > MAX_FILE_BYTES)
        return fail(text, error, "is larger than 256 MiB");
    text.reserve(static_cast<size_t>(size) + CHUNK_BYTES);
    if (!read_whole_stream(in, text, error))
        return false;
    // Rewritten in place while it was read (an editor that truncates and writes, a sync tool
    // copying in), the file is longer or shorter than it was when the read began, or than what
    // came: the text may be half of each.
    if (static_cast<std::streamoff>(text.size()) != size || end_of(in) != size)
        return fail(text, error, "changed while it was read");
    return true;
}

}  // namespace dvbk
