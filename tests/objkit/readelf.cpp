// readelf.cpp - running readelf and parsing its -W listings.
#include "readelf.hpp"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace objkit_test {
namespace {

uint64_t hex(const std::string &text) { return std::stoull(text, nullptr, 16); }

std::vector<std::string> tokens(const std::string &text)
{
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string word; in >> word;)
        out.push_back(word);
    return out;
}

bool starts_with(const std::string &text, const std::string &prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string trimmed(const std::string &text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// "31" or, with extended numbering, "0 (70000)".
uint64_t count_field(const std::string &value)
{
    const size_t open = value.find('(');
    if (open != std::string::npos)
        return std::stoull(value.substr(open + 1));
    return std::stoull(value);
}

// The listing that the lines after a title belong to.
enum class Table { none, sections, programs };

// "Key: value" lines of the ELF header that the report keeps; false for
// every other line.
bool take_header_field(const std::string &line, ReadelfReport &report, bool &seen_header)
{
    const size_t colon = line.find(':');
    if (colon == std::string::npos)
        return false;
    const std::string key = trimmed(line.substr(0, colon));
    const std::string value = trimmed(line.substr(colon + 1));
    if (key == "Class") {
        report.elf_class = value;
        seen_header = true;
    } else if (key == "Data") {
        report.big_endian = value.find("big endian") != std::string::npos;
    } else if (key == "Number of section headers") {
        report.section_count = count_field(value);
    } else if (key == "Number of program headers") {
        report.program_count = count_field(value);
    } else {
        return false;
    }
    return true;
}

// The listing that a title line opens (or closes, with the legend after
// the section table and the section-to-segment mapping); nullopt when
// `line` is no title.
std::optional<Table> table_title(const std::string &line)
{
    if (starts_with(line, "Section Headers:"))
        return Table::sections;
    if (starts_with(line, "Program Headers:"))
        return Table::programs;
    if (starts_with(line, "Key to Flags:") || starts_with(line, " Section to Segment"))
        return Table::none;
    return std::nullopt;
}

// "  [Nr] Name Type Address Off Size ..."; nullopt for the column titles
// and for the lines between the rows.
std::optional<ReadelfSection> section_row(const std::string &line)
{
    const size_t open = line.find('[');
    const size_t close = line.find(']');
    if (open == std::string::npos || close == std::string::npos ||
        !trimmed(line.substr(0, open)).empty() || starts_with(trimmed(line), "[Nr]"))
        return std::nullopt;
    ReadelfSection section;
    section.index = static_cast<uint32_t>(std::stoul(line.substr(open + 1, close - open - 1)));
    // The name is printed left-aligned right after "] ", so a blank there
    // is an empty name.
    std::string rest = line.substr(close + 2);
    if (!rest.empty() && rest[0] != ' ') {
        const size_t end = rest.find(' ');
        section.name = rest.substr(0, end);
        rest = end == std::string::npos ? "" : rest.substr(end);
    }
    const std::vector<std::string> fields = tokens(rest);
    if (fields.size() < 4)
        return std::nullopt;
    section.type = fields[0];
    section.addr = hex(fields[1]);
    section.offset = hex(fields[2]);
    section.size = hex(fields[3]);
    return section;
}

// "  Type Offset VirtAddr PhysAddr FileSiz MemSiz Flg Align"; nullopt for
// the column titles and the interpreter line.
std::optional<ReadelfProgram> program_row(const std::string &line)
{
    const std::vector<std::string> fields = tokens(line);
    if (fields.size() < 7 || !starts_with(fields[1], "0x"))
        return std::nullopt;
    ReadelfProgram program;
    program.type = fields[0];
    program.offset = hex(fields[1]);
    program.vaddr = hex(fields[2]);
    program.paddr = hex(fields[3]);
    program.filesz = hex(fields[4]);
    program.memsz = hex(fields[5]);
    program.align = hex(fields.back());
    return program;
}

void take_table_row(const std::string &line, Table table, ReadelfReport &report)
{
    if (table == Table::sections) {
        if (std::optional<ReadelfSection> section = section_row(line))
            report.sections.push_back(std::move(*section));
    } else if (table == Table::programs) {
        if (std::optional<ReadelfProgram> program = program_row(line))
            report.programs.push_back(std::move(*program));
    }
}

// readelf's warnings, the header's fields and the rows of the two tables;
// nullopt when there is no ELF header among them.
std::optional<ReadelfReport> parse_listing(const std::string &output)
{
    ReadelfReport report;
    bool seen_header = false;
    Table table = Table::none;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        if (starts_with(line, "readelf:")) {
            report.complaints.push_back(line);
            continue;
        }
        if (take_header_field(line, report, seen_header))
            continue;
        if (const std::optional<Table> title = table_title(line)) {
            table = *title;
            continue;
        }
        take_table_row(line, table, report);
    }
    if (!seen_header)
        return std::nullopt;
    return report;
}

}  // namespace

std::optional<std::string> run_and_capture(const std::vector<std::string> &argv)
{
    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
    std::vector<char *> args;
    args.reserve(argv.size() + 1);
    for (const std::string &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_fds[1]);
    if (spawned != 0) {
        ::close(pipe_fds[0]);
        return std::nullopt;
    }
    std::string output;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(pipe_fds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        output.append(buffer, static_cast<size_t>(got));
    }
    ::close(pipe_fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return output;
}

std::optional<ReadelfReport> readelf(const std::string &path, bool with_tables)
{
    std::vector<std::string> argv = {"readelf", "-W", "-h"};
    if (with_tables) {
        argv.push_back("-S");
        argv.push_back("-l");
    }
    argv.push_back(path);
    const std::optional<std::string> output = run_and_capture(argv);
    if (!output)
        return std::nullopt;
    return parse_listing(*output);
}

}  // namespace objkit_test
