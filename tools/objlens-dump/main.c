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
#include <stdio.h>
#include <string.h>

#include "diag.h"
#include "dump.h"
#include "header.h"
#include "objkit.h"
#include "objlens.h"
#include "out.h"
#include "text.h"

enum { EXIT_DAMAGED = 1, EXIT_USAGE = 2 };
enum { OPT_JSON = 256, OPT_HELP, OPT_VERSION };

static const char usage_text[] =
    "Usage: " PROGRAM_NAME
    " [OPTION]... FILE...\n"
    "Show the ELF header, section headers, program headers, symbols,\n"
    "relocations and dynamic entries of each ELF FILE.\n"
    "\n"
    "  -h, --file-header      the ELF header\n"
    "  -S, --section-headers  the section header table\n"
    "  -l, --program-headers  the program header table and the sections of each\n"
    "                         segment\n"
    "  -s, --symbols          the entries of every SHT_SYMTAB and SHT_DYNSYM section\n"
    "  -r, --relocs           the entries of every SHT_REL and SHT_RELA section\n"
    "  -d, --dynamic          the entries of every SHT_DYNAMIC section\n"
    "  -a, --all              all of the above\n"
    "      --json             JSON Lines instead of text: one JSON document per\n"
    "                         FILE, each on one line; without any of the\n"
    "                         options above, every part\n"
    "      --help             display this help and exit\n"
    "      --version          output version information and exit\n"
    "\n"
    "Exit status is 0 when every FILE was dumped in full, 1 when a FILE could\n"
    "not be loaded or a part of it could not be read, 2 for a usage error.\n";

static const struct option long_options[] = {
    {"file-header", no_argument, NULL, 'h'},
    {"section-headers", no_argument, NULL, 'S'},
    {"program-headers", no_argument, NULL, 'l'},
    {"symbols", no_argument, NULL, 's'},
    {"relocs", no_argument, NULL, 'r'},
    {"dynamic", no_argument, NULL, 'd'},
    {"all", no_argument, NULL, 'a'},
    {"json", no_argument, NULL, OPT_JSON},
    {"help", no_argument, NULL, OPT_HELP},
    {"version", no_argument, NULL, OPT_VERSION},
    {NULL, 0, NULL, 0},
};

static void describe_image(dump_image *image)
{
    objlens_get_ehdr(&image->image, &image->ehdr);
    image->bits = objlens_get_bits(&image->image);
    image->big_endian = objlens_ehdr_get_ident(&image->ehdr)[EI_DATA] == ELFDATA2MSB;
    image->machine = objlens_get_machine(&image->image);
    image->num_sections = objlens_get_num_of_sections(&image->image);
    image->num_programs = objlens_get_num_of_programs(&image->image);
    image->shstrndx = objlens_ehdr_get_shstrndx(&image->ehdr);
    if (image->shstrndx == SHN_XINDEX) {
        objlens_section first;
        image->shstrndx = objlens_get_section(&image->image, &first, 0) == 0
                              ? objlens_section_get_link(&first)
                              : SHN_UNDEF;
    }
    string_table_open(&image->section_names, &image->image, image->shstrndx);
    image->damaged = 0;
}

/* The backend's reason for refusing `source`: the system's text for a file
 * that cannot be opened (as other tools say it), else the backend's line. */
static const char *refusal_text(const objkit_source *source)
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
    switch (reason) {
    case OBJKIT_REASON_VERSION:
    case OBJKIT_REASON_SECTION_TABLE:
    case OBJKIT_REASON_PROGRAM_TABLE:
    case OBJKIT_REASON_BUDGET: return 1;
    default: return 0;
    }
}

/* A FILE that cannot be dumped: the reason on standard error, and what can
 * still be shown without the library (the ELF header, when -h asks for it
 * or in the JSON document). */
static void refuse(const char *path, const char *reason, const header_fields *header,
                   unsigned parts, int json, int name_it)
{
    diag_file(path, "%s", reason);
    if (json) {
        json_refusal(path, reason, header);
        return;
    }
    if (header == NULL || (parts & DUMP_HEADER) == 0)
        return;
    if (name_it) {
        out_str("\nFile: ");
        out_name(path);
        out_char('\n');
    }
    text_header(header);
}

/* Dumps one FILE; 0 when it was dumped in full. */
static int dump_path(const char *path, unsigned parts, int json, int name_it)
{
    dump_image image;
    header_fields header;
    objkit_source source = objkit_source_file(path);

    image.path = path;
    if (objlens_load(&image.image, &source) != 0) {
        int shown = header_still_readable(source.reason) && header_from_file(path, &header) == 0;
        refuse(path, refusal_text(&source), shown ? &header : NULL, parts, json, name_it);
        return 1;
    }
    describe_image(&image);
    if (json) {
        json_dump(&image, parts);
    } else {
        if (name_it) {
            out_str("\nFile: ");
            out_name(path);
            out_char('\n');
        }
        text_dump(&image, parts);
    }
    objlens_unload(&image.image);
    return image.damaged;
}

int main(int argc, char **argv)
{
    unsigned parts = 0;
    int json = 0;
    int status = 0;
    int option;

    opterr = 0;
    while ((option = getopt_long(argc, argv, ":hSlsrda", long_options, NULL)) != -1) {
        switch (option) {
        case 'h': parts |= DUMP_HEADER; break;
        case 'S': parts |= DUMP_SECTIONS; break;
        case 'l': parts |= DUMP_SEGMENTS; break;
        case 's': parts |= DUMP_SYMBOLS; break;
        case 'r': parts |= DUMP_RELOCS; break;
        case 'd': parts |= DUMP_DYNAMIC; break;
        case 'a': parts |= DUMP_ALL; break;
        case OPT_JSON: json = 1; break;
        case OPT_HELP: fputs(usage_text, stdout); return out_flush() == 0 ? 0 : EXIT_DAMAGED;
        case OPT_VERSION:
            printf("%s %s\n", PROGRAM_NAME, objlens_get_version());
            return out_flush() == 0 ? 0 : EXIT_DAMAGED;
        default:
            if (optopt > 0 && optopt < 256)
                diag_usage("invalid option -- '%c'", optopt);
            else
                diag_usage("unrecognized option '%s'", argv[optind - 1]);
            return EXIT_USAGE;
        }
    }
    if (optind >= argc) {
        diag_usage("missing FILE operand");
        return EXIT_USAGE;
    }
    if (parts == 0) {
        if (!json) {
            diag_usage("nothing to show: give at least one of -h -S -l -s -r -d -a");
            return EXIT_USAGE;
        }
        parts = DUMP_ALL;
    }
    for (int i = optind; i < argc; i++)
        if (dump_path(argv[i], parts, json, argc - optind > 1) != 0)
            status = EXIT_DAMAGED;
    if (out_flush() != 0) {
        fprintf(stderr, "%s: write error: %s\n", PROGRAM_NAME, strerror(errno));
        status = EXIT_DAMAGED;
    }
    return status;
}
