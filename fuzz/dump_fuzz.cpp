// dump_fuzz.cpp - libFuzzer target over objlens-dump: its reading code and
// both printers.
//
// Each input becomes the one file of a memfd, and dump_main runs over it
// with each set of options below, as the command line would give them: all
// the text parts with -C, --dyn-syms, -D with -I, section contents raw and
// expanded by number and by name, and --json of everything; an archive's
// index (-c) as text and as JSON records too.  Text goes to /dev/null;
// JSON goes to a memory stream, and each of its lines must be one valid
// JSON object.  A status other than 0 or 1, a crash, a sanitizer report or
// invalid JSON is a finding.
#include "check.hpp"

extern "C" {
#include "diag.h"
#include "dump.h"
#include "main.h"
#include "out.h"
}

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

#define CHECK(condition) FUZZ_CHECK("objlens_dump_fuzz", condition)

// A JSON validator after RFC 8259, for one line of output.
class JsonCheck {
public:
    explicit JsonCheck(const std::string &text) : at_(text.data()), end_(at_ + text.size()) {}

    // Whether the whole text is one object, with nothing after it.
    bool object() { return peek() == '{' && value(0) && at_ == end_; }

private:
    const char *at_;
    const char *end_;

    int peek() const { return at_ < end_ ? static_cast<unsigned char>(*at_) : -1; }

    bool take(const char *word)
    {
        size_t length = std::strlen(word);
        if (static_cast<size_t>(end_ - at_) < length || std::memcmp(at_, word, length) != 0)
            return false;
        at_ += length;
        return true;
    }

    bool value(int depth)
    {
        if (depth > 64)
            return false;
        switch (peek()) {
        case '{': return members(depth);
        case '[': return elements(depth);
        case '"': return string();
        case 't': return take("true");
        case 'f': return take("false");
        case 'n': return take("null");
        default: return number();
        }
    }

    bool members(int depth)
    {
        ++at_;
        if (peek() == '}')
            return ++at_, true;
        for (;;) {
            if (peek() != '"' || !string() || !take(":") || !value(depth + 1))
                return false;
            if (peek() == '}')
                return ++at_, true;
            if (!take(","))
                return false;
        }
    }

    bool elements(int depth)
    {
        ++at_;
        if (peek() == ']')
            return ++at_, true;
        for (;;) {
            if (!value(depth + 1))
                return false;
            if (peek() == ']')
                return ++at_, true;
            if (!take(","))
                return false;
        }
    }

    bool string()
    {
        ++at_;
        while (at_ < end_) {
            unsigned char c = static_cast<unsigned char>(*at_++);
            if (c == '"')
                return true;
            if (c < 0x20)
                return false;
            if (c >= 0x80 && !utf8(c))
                return false;
            if (c != '\\')
                continue;
            if (at_ == end_)
                return false;
            c = static_cast<unsigned char>(*at_++);
            if (c == 'u') {
                for (int i = 0; i < 4; i++, at_++)
                    if (at_ == end_ || std::strchr("0123456789abcdefABCDEF", *at_) == nullptr)
                        return false;
            } else if (std::strchr("\"\\/bfnrt", c) == nullptr || c == '\0') {
                return false;
            }
        }
        return false;
    }

    // The rest of a UTF-8 sequence that `lead` starts (ranges as RFC 3629's).
    bool utf8(unsigned char lead)
    {
        int more = lead >= 0xc2 && lead <= 0xdf   ? 1
                   : lead >= 0xe0 && lead <= 0xef ? 2
                   : lead >= 0xf0 && lead <= 0xf4 ? 3
                                                  : -1;
        if (more < 0 || end_ - at_ < more)
            return false;
        unsigned char second = static_cast<unsigned char>(at_[0]);
        if ((lead == 0xe0 && second < 0xa0) || (lead == 0xed && second > 0x9f) ||
            (lead == 0xf0 && second < 0x90) || (lead == 0xf4 && second > 0x8f))
            return false;
        for (int i = 0; i < more; i++, at_++)
            if ((static_cast<unsigned char>(*at_) & 0xc0) != 0x80)
                return false;
        return true;
    }

    bool number()
    {
        take("-");
        if (take("0")) {
        } else if (peek() >= '1' && peek() <= '9') {
            while (peek() >= '0' && peek() <= '9')
                ++at_;
        } else {
            return false;
        }
        if (take(".")) {
            if (!(peek() >= '0' && peek() <= '9'))
                return false;
            while (peek() >= '0' && peek() <= '9')
                ++at_;
        }
        if (peek() == 'e' || peek() == 'E') {
            ++at_;
            if (peek() == '+' || peek() == '-')
                ++at_;
            if (!(peek() >= '0' && peek() <= '9'))
                return false;
            while (peek() >= '0' && peek() <= '9')
                ++at_;
        }
        return true;
    }
};

struct Sinks {
    int file = -1;
    std::string path;
    FILE *discard = nullptr;

    Sinks()
    {
        file = memfd_create("objlens_dump_fuzz", 0);
        discard = std::fopen("/dev/null", "w");
        if (file < 0 || discard == nullptr)
            std::abort();
        path = "/proc/self/fd/" + std::to_string(file);
        diag_set_stream(discard);
    }
};

Sinks &sinks()
{
    static Sinks instance;
    return instance;
}

int run(std::vector<std::string> args, FILE *stream)
{
    std::vector<char *> argv;
    static char program[] = "objlens-dump";
    argv.push_back(program);
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    out_set_stream(stream);
    int status = dump_main(static_cast<int>(argv.size() - 1), argv.data());
    CHECK(status == 0 || status == 1);
    return status;
}

// A --json run; every line of what it writes is one JSON object, one per
// FILE (`files` 0: an archive's, as many as it has members and parts).
void run_json(const std::vector<std::string> &args, size_t files)
{
    char *text = nullptr;
    size_t size = 0;
    FILE *stream = open_memstream(&text, &size);
    if (stream == nullptr)
        std::abort();
    run(args, stream);
    CHECK(std::fclose(stream) == 0);
    size_t lines = 0;
    for (size_t start = 0; start < size;) {
        const char *newline =
            static_cast<const char *>(std::memchr(text + start, '\n', size - start));
        CHECK(newline != nullptr);
        size_t end = static_cast<size_t>(newline - text);
        CHECK(JsonCheck(std::string(text + start, end - start)).object());
        ++lines;
        start = end + 1;
    }
    CHECK(files == 0 || lines == files);
    std::free(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Sinks &s = sinks();
    if (ftruncate(s.file, 0) != 0 || pwrite(s.file, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();
    const std::string &file = s.path;

    // Sections 0 to 7 by number, and the names that hold strings, debug
    // data and notes in most files.
    std::vector<std::string> contents;
    for (int i = 0; i < 8; i++)
        contents.insert(contents.end(), {i % 2 == 0 ? "-x" : "-p", std::to_string(i)});
    contents.insert(contents.end(), {"-x", ".debug_info", "-p", ".debug_str", "-p", ".comment",
                                     "-x", ".note.gnu.build-id"});

    // An archive is dumped member by member, each a JSON document.
    const bool archive = size >= 8 && (std::memcmp(data, "!<arch>\n", 8) == 0 ||
                                       std::memcmp(data, "!<thin>\n", 8) == 0);
    run({"-a", "-C", file}, s.discard);
    if (archive)
        run({"-c", "-s", file}, s.discard);
    run({"--dyn-syms", "-W", "--demangle=dlang", file}, s.discard);
    run({"-D", "-s", "-r", "-d", "-I", file}, s.discard);
    std::vector<std::string> raw = contents;
    raw.push_back(file);
    run(raw, s.discard);
    std::vector<std::string> expanded = {"-z"};
    expanded.insert(expanded.end(), contents.begin(), contents.end());
    expanded.push_back(file);
    run(expanded, s.discard);

    run_json({"--json", file}, archive ? 0 : 1);
    run_json({"--json", "-D", "-s", "-r", "-d", "-I", file}, archive ? 0 : 1);
    if (archive)
        run_json({"--json=records", "-c", "-h", file}, 0);
    std::vector<std::string> json = {"--json", "-a", "-C", "--dyn-syms"};
    json.insert(json.end(), expanded.begin(), expanded.end() - 1);
    json.insert(json.end(), {file, file});
    run_json(json, archive ? 0 : 2);
    return 0;
}
