/*
 * main.c - objlens-dump's command line and the loop over its FILEs.
 *
 * Each FILE is loaded through the library; a refused one is reported with
 * the backend's reason, and when its ELF header is whole the tool reads
 * and shows that header itself.
 */
#define _POSIX_C_SOURCE 200809L

#include <elf.h>
#include <errno.h>
#include <getopt.h>
#include <libiberty/libiberty.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "archive.h"
#include "demangle.h"
#include "diag.h"
#include "dump.h"
#include "header.h"
#include "main.h"
#include "objkit.h"
#include "objlens.h"
#include "out.h"
#include "text.h"

enum { EXIT_DAMAGED = 1, EXIT_USAGE = 2 };
enum { OPT_JSON = 256, OPT_HELP, OPT_VERSION, OPT_DYN_SYMS, OPT_NO_DEMANGLE };

static const char usage_text[] =
    "Usage: " PROGRAM_NAME
    " [OPTION]... FILE...\n"
    "Show the ELF header, section headers, program headers, symbols,\n"
    "relocations, dynamic entries, version sections, notes and section\n"
    "contents of each ELF FILE; an archive FILE (ar's, thin or not) is\n"
    "shown member by member.\n"
    "\n"
    "  -h, --file-header      the ELF header\n"
    "  -S, --section-headers  the section header table\n"
    "  -l, --program-headers  the program header table and the sections of each\n"
    "                         segment\n"
    "  -e, --headers          the same as -h -S -l\n"
    "  -g, --section-groups   the section groups and the sections of each\n"
    "  -s, --symbols, --syms  the entries of every SHT_SYMTAB and SHT_DYNSYM section,\n"
    "                         with the version of each dynamic symbol\n"
    "      --dyn-syms         the entries of the SHT_DYNSYM sections only\n"
    "  -r, --relocs           the entries of every SHT_REL and SHT_RELA section\n"
    "  -d, --dynamic          the entries of every SHT_DYNAMIC section\n"
    "  -V, --version-info     the version sections (.gnu.version, .gnu.version_d,\n"
    "                         .gnu.version_r)\n"
    "  -n, --notes            the notes of the SHT_NOTE sections, or of the PT_NOTE\n"
    "                         segments when there are no such sections\n"
    "  -I, --histogram        the bucket list lengths of the hash tables\n"
    "  -A, --arch-specific    the processor-specific parts: build attributes, and\n"
    "                         MIPS ABI flags and GOT\n"
    "  -a, --all              all of the above\n"
    "  -D, --use-dynamic      with -s, -r and -d: the symbols, relocations and\n"
    "                         dynamic entries the dynamic array names, read through\n"
    "                         the program headers, not the section headers\n"
    "  -c, --archive-index    the symbol index of an archive FILE\n"
    "  -x, --hex-dump=NUMBER|NAME\n"
    "                         the bytes of a section, in hexadecimal\n"
    "  -p, --string-dump=NUMBER|NAME\n"
    "                         the printable strings of a section\n"
    "  -z, --decompress       expand a compressed section before -x or -p shows it\n"
    "  -C, --demangle[=STYLE] symbol names as the source spells them: STYLE\n"
    "                         'auto' (the default: Rust, then C++), 'gnu-v3',\n"
    "                         'rust', 'dlang', 'java', 'gnat' or 'none'\n"
    "      --no-demangle      symbol names as they are stored (the default)\n"
    "  -W, --wide             accepted for compatibility; the output is always wide\n"
    "      --json[=FORM]      JSON Lines instead of text: FORM 'documents' (the\n"
    "                         default) gives one JSON document per FILE on a\n"
    "                         line, 'records' one line per section, segment,\n"
    "                         symbol, relocation, dynamic entry, version or\n"
    "                         note, each with its \"file\" and \"kind\"; without\n"
    "                         any of the options above, every part but -x and -p\n"
    "  @FILE                  the arguments FILE holds, separated by white space,\n"
    "                         quoted with ' or \" or escaped with \\\n"
    "      --help             display this help and exit\n"
    "      --version          output version information and exit\n"
    "\n"
    "Exit status is 0 when every FILE was dumped in full, 1 when a FILE could\n"
    "not be loaded or a part of it could not be read, 2 for a usage error.\n";

static const struct option long_options[] = {
    {"file-header", no_argument, NULL, 'h'},
    {"section-headers", no_argument, NULL, 'S'},
    {"sections", no_argument, NULL, 'S'},
    {"program-headers", no_argument, NULL, 'l'},
    {"segments", no_argument, NULL, 'l'},
    {"headers", no_argument, NULL, 'e'},
    {"section-groups", no_argument, NULL, 'g'},
    {"symbols", no_argument, NULL, 's'},
    {"syms", no_argument, NULL, 's'},
    {"dyn-syms", no_argument, NULL, OPT_DYN_SYMS},
    {"relocs", no_argument, NULL, 'r'},
    {"dynamic", no_argument, NULL, 'd'},
    {"version-info", no_argument, NULL, 'V'},
    {"notes", no_argument, NULL, 'n'},
    {"histogram", no_argument, NULL, 'I'},
    {"use-dynamic", no_argument, NULL, 'D'},
    {"arch-specific", no_argument, NULL, 'A'},
    {"all", no_argument, NULL, 'a'},
    {"archive-index", no_argument, NULL, 'c'},
    {"hex-dump", required_argument, NULL, 'x'},
    {"string-dump", required_argument, NULL, 'p'},
    {"decompress", no_argument, NULL, 'z'},
    {"demangle", optional_argument, NULL, 'C'},
    {"no-demangle", no_argument, NULL, OPT_NO_DEMANGLE},
    {"wide", no_argument, NULL, 'W'},
    {"json", optional_argument, NULL, OPT_JSON},
    {"help", no_argument, NULL, OPT_HELP},
    {"version", no_argument, NULL, OPT_VERSION},
    {NULL, 0, NULL, 0},
};

/* -x and -p take a section number when the argument is a number in C's
 * notation (0x10, 020, 16) and a section name otherwise. */
static void add_request(dump_request *requests, size_t *count, const char *argument, int kind)
{
    dump_request *request = &requests[(*count)++];
    char *end;
    *request = (dump_request){.name = argument, .kind = kind};
    if (argument[0] == '-' || argument[0] == '+')
        return;
    errno = 0;
    request->number = strtoull(argument, &end, 0);
    if (*end == '\0' && errno == 0)
        request->name = NULL;
}

/* The backend's reason for refusing `source`: the system's text for a file
 * that cannot be opened (as other tools say it), else the backend's line. */
const char *refusal_text(const objkit_source *source)
{
    if ((source->reason == OBJKIT_REASON_OPEN || source->reason == OBJKIT_REASON_NOT_REGULAR) &&
        source->error != 0)
        return strerror(source->error);
    return source->reason_text[0] != '\0' ? source->reason_text : "refused by the loader";
}

/* 1 when the backend refused a file whose ELF header is whole and of a
 * known class and byte order, so that the tool can still show it. */
static int header_still_readable(int reason)
{
    return reason == OBJKIT_REASON_VERSION || reason == OBJKIT_REASON_SECTION_TABLE ||
           reason == OBJKIT_REASON_PROGRAM_TABLE || reason == OBJKIT_REASON_BUDGET;
}

/* "File: PATH", before each of several FILEs and each archive member. */
static void file_title(const char *path)
{
    out_str("\nFile: ");
    out_name(path);
    out_char('\n');
}

/* What keeps an archive, or the next of its members, from being read: on
 * standard error, and as an error record in JSON, so that a reader of the
 * JSON alone sees that something is missing. */
void archive_problem(const char *path, const char *reason, const dump_options *options, int json)
{
    dump_image image = {.path = path, .options = options};
    diag_file(path, "%s", reason);
    if (json)
        json_refusal(&image, reason, NULL);
}

/* Dumps one ELF image from `source`, named as `image` says; 0 when it was
 * dumped in full.  A member of an archive `ar` (in a file of its own at
 * `member_path`, or null for bytes inside an archive) is always named, as
 * readelf names it: before its parts, and before the reason it was refused when
 * its bytes could hold an ELF header (a thin member's file that cannot be
 * opened is not named, as readelf does not name it). */
int dump_source(dump_image *image, objkit_source *source, const archive *ar,
                const char *member_path, unsigned parts, int json, int name_it)
{
    header_fields header;
    parts &= ~(unsigned)DUMP_ARCHIVE_INDEX;
    if (objlens_load(&image->image, source) != 0) {
        /* The reason on standard error, and what can still be shown without
         * the library: the ELF header, when -h asks for it or in JSON. */
        char buffer[OBJKIT_REASON_TEXT_SIZE + ARCHIVE_NAME_MAX];
        const char *reason =
            ar != NULL ? member_refusal(ar, image, member_path, source, buffer, sizeof buffer)
                       : refusal_text(source);
        const int shown = ar == NULL && header_still_readable(source->reason) &&
                          header_from_file(image, &header) == 0;
        const int opened =
            source->reason != OBJKIT_REASON_OPEN && source->reason != OBJKIT_REASON_NOT_REGULAR;
        if (ar != NULL && !json && opened && image->header_room >= sizeof(Elf32_Ehdr))
            file_title(image->path);
        diag_file(image->path, "%s", reason);
        if (json) {
            json_refusal(image, reason, shown ? &header : NULL);
        } else if (shown && (parts & DUMP_HEADER) != 0) {
            if (name_it)
                file_title(image->path);
            text_header(&header);
        }
        return 1;
    }
    dump_image_describe(image);
    image->parts = parts;
    if (json) {
        json_dump(image, parts);
    } else {
        if (name_it)
            file_title(image->path);
        text_dump(image, parts);
    }
    objlens_unload(&image->image);
    return image->damaged;
}

/* Dumps one FILE, an ELF file or an archive; 0 when it was dumped in full.
 * The FILE is opened once, and the archive probe, every load and every
 * read of its bytes go through that one descriptor.  A path that names no
 * regular file that can be opened is handed to the library as a path: its
 * refusal says why, in its words. */
static int dump_path(const char *path, unsigned parts, const dump_options *options, int json,
                     int name_it)
{
    dump_image image = {.path = path, .options = options};
    archive ar;
    dump_file file;
    int status = 0;
    const int opened = dump_file_open(&file, path) == 0 ? archive_open(&ar, path, &file) : 0;

    if (opened < 0) {
        archive_problem(path, ar.error, options, json);
        status = 1;
    } else if (opened > 0) {
        status = dump_archive(&ar, parts, options, json);
    } else {
        if ((parts & DUMP_ARCHIVE_INDEX) != 0)
            diag_file(NULL, "File %s is not an archive so its index cannot be displayed.", path);
        if ((parts & ~(unsigned)DUMP_ARCHIVE_INDEX) != 0) {
            objkit_source source = image_file_source(&image, &file, path);
            status = dump_source(&image, &source, NULL, NULL, parts, json, name_it);
        }
    }
    if (opened != 0)
        archive_close(&ar);
    dump_file_close(&file);
    return status;
}

/* Dumps each of the `count` FILE operands; returns the exit status. */
static int dump_files(char **files, int count, unsigned parts, const dump_options *options,
                      int json)
{
    int status = 0;
    if (options->request_count != 0)
        parts |= DUMP_CONTENTS;
    for (int i = 0; i < count; i++)
        if (dump_path(files[i], parts, options, json, count > 1) != 0)
            status = EXIT_DAMAGED;
    if (out_flush() != 0) {
        diag_file(NULL, "write error: %s", strerror(errno));
        status = EXIT_DAMAGED;
    }
    return status;
}

/* The run over the expanded command line; `requests` has room for one
 * -x or -p per argument. */
static int dump_arguments(int argc, char **argv, dump_request *requests)
{
    unsigned parts = 0;
    int json = 0;
    int option;
    dump_options options = {.requests = requests};

    optind = 0; /* glibc's getopt starts afresh, for a second run in one process */
    while ((option = getopt_long(argc, argv, "hSlegsrdVnAaIDcx:p:zCW", long_options, NULL)) != -1) {
        switch (option) {
        case 'h': parts |= DUMP_HEADER; break;
        case 'S': parts |= DUMP_SECTIONS; break;
        case 'l': parts |= DUMP_SEGMENTS; break;
        case 'e': parts |= DUMP_HEADER | DUMP_SECTIONS | DUMP_SEGMENTS; break;
        case 'g': parts |= DUMP_GROUPS; break;
        case 's': parts |= DUMP_SYMBOLS; break;
        case OPT_DYN_SYMS: parts |= DUMP_DYNAMIC_SYMBOLS; break;
        case 'r': parts |= DUMP_RELOCS; break;
        case 'd': parts |= DUMP_DYNAMIC; break;
        case 'V': parts |= DUMP_VERSIONS; break;
        case 'n': parts |= DUMP_NOTES; break;
        case 'A': parts |= DUMP_ARCH; break;
        case 'a': parts |= DUMP_ALL; break;
        case 'I': parts |= DUMP_HISTOGRAM; break;
        case 'D': options.use_dynamic = 1; break;
        case 'c': parts |= DUMP_ARCHIVE_INDEX; break;
        case 'x': add_request(requests, &options.request_count, optarg, DUMP_CONTENT_HEX); break;
        case 'p':
            add_request(requests, &options.request_count, optarg, DUMP_CONTENT_STRINGS);
            break;
        case 'z': options.decompress = 1; break;
        case 'C':
            options.demangle =
                optarg != NULL ? demangle_style_named(optarg) : demangle_style_default();
            if (options.demangle < 0) {
                diag_usage("unknown demangling style '%s'", optarg);
                return EXIT_USAGE;
            }
            break;
        case OPT_NO_DEMANGLE: options.demangle = DEMANGLE_NONE; break;
        case 'W': break; /* the output is wide already */
        case OPT_JSON:
            json = 1;
            options.json_records = optarg != NULL && strcmp(optarg, "records") == 0;
            if (optarg != NULL && !options.json_records && strcmp(optarg, "documents") != 0) {
                diag_usage("invalid argument '%s' for '--json': 'documents' or 'records'", optarg);
                return EXIT_USAGE;
            }
            break;
        case OPT_HELP: out_str(usage_text); return out_flush() == 0 ? 0 : EXIT_DAMAGED;
        case OPT_VERSION:
            out_printf(PROGRAM_NAME " %s\n", objlens_get_version());
            return out_flush() == 0 ? 0 : EXIT_DAMAGED;
        default: diag_try_help(); return EXIT_USAGE;
        }
    }
    if (optind >= argc) {
        diag_usage("missing FILE operand");
        return EXIT_USAGE;
    }
    if (parts == 0 && options.request_count == 0) {
        if (!json) {
            diag_usage(
                "nothing to show: give at least one of -h -S -l -e -g -s --dyn-syms -r -d -V "
                "-n -c -x -p -a");
            return EXIT_USAGE;
        }
        parts = DUMP_ALL;
    }
    return dump_files(argv + optind, argc - optind, parts, &options, json);
}

/* An argument @FILE stands for the arguments FILE holds, read as readelf
 * reads them (libiberty's expandargv): separated by white space, with
 * single and double quotes and backslash escapes, @FILE within FILE read
 * in turn; an @FILE that cannot be read stays as it is. */
int dump_main(int argc, char **argv)
{
    char **given = argv;
    char *name;
    dump_request *requests;
    int status = EXIT_DAMAGED;
    expandargv(&argc, &argv);
    requests = calloc((size_t)argc, sizeof *requests);
    /* getopt_long says what is wrong with an option in its own words,
     * under the name it finds in argv[0]; the vector's own goes back
     * before freeargv frees it. */
    name = argv[0];
    argv[0] = (char *)PROGRAM_NAME;
    if (requests != NULL)
        status = dump_arguments(argc, argv, requests);
    else
        diag_file(NULL, "%s", strerror(ENOMEM));
    free(requests);
    argv[0] = name;
    if (argv != given)
        freeargv(argv);
    return status;
}
