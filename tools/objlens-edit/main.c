/*
 * main.c - objlens-edit's command line: the edits it names, in order, and
 * the loop over its FILEs.  The exit status is the worst of the FILEs':
 * 0 all handled, 1 a FILE not read or written, 2 a usage error, 3 a value
 * that does not fit its field.
 */
#define _POSIX_C_SOURCE 200809L

#include <ctype.h>
#include <errno.h>
#include <getopt.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "diag.h"
#include "edit.h"
#include "objlens.h"
#include "out.h"
#include "value.h"

enum {
    OPT_SET = 256,
    OPT_GET,
    OPT_SET_EXECSTACK,
    OPT_CLEAR_EXECSTACK,
    OPT_DRY_RUN,
    OPT_JSON,
    OPT_HELP,
    OPT_VERSION,
    /* elfedit's options, in the order of `shorthands` */
    OPT_OUTPUT_TYPE,
    OPT_OUTPUT_MACH,
    OPT_OUTPUT_OSABI,
    OPT_OUTPUT_ABIVERSION,
    OPT_INPUT_TYPE,
    OPT_INPUT_MACH,
    OPT_INPUT_OSABI,
    OPT_INPUT_ABIVERSION
};

static const char usage_text[] =
    "Usage: objlens-edit [OPTION]... FILE...\n"
    "Change fields of the ELF header, section headers and program headers of\n"
    "ELF files of either class and byte order.  All edits of a FILE are made,\n"
    "then the FILE is replaced at once, or left as it was.\n"
    "\n"
    "  --set FIELD=VALUE      set a field (repeatable; applied in order)\n"
    "  --get FIELD            print a field's value and its name\n"
    "  --set-execstack        set PF_X in the PT_GNU_STACK segment's p_flags\n"
    "  --clear-execstack      clear PF_X in the PT_GNU_STACK segment's p_flags\n"
    "  --output-type TYPE     set e_type (none, rel, exec, dyn, or ET_ name)\n"
    "  --output-mach MACHINE  set e_machine (x86_64, i386, ..., or any EM_ name)\n"
    "  --output-osabi OSABI   set EI_OSABI (none, GNU, Linux, FreeBSD, ...)\n"
    "  --output-abiversion N  set EI_ABIVERSION\n"
    "  --input-type TYPE, --input-mach MACHINE, --input-osabi OSABI,\n"
    "  --input-abiversion N   edit only FILEs whose field has this value\n"
    "  -o, --output OUTFILE   write the result to OUTFILE (one FILE only)\n"
    "  --dry-run              print each change as FIELD: OLD -> NEW, write nothing\n"
    "  --json                 print values, changes and errors as JSON Lines\n"
    "      --help             display this help and exit\n"
    "      --version          output version information and exit\n"
    "\n"
    "FIELD is ehdr.NAME (an Elf*_Ehdr member, EI_OSABI or EI_ABIVERSION),\n"
    "section[NAME].sh_NAME or section[INDEX].sh_NAME, and segment[INDEX].p_NAME\n"
    "or segment[TYPE].p_NAME with TYPE a PT_ name (segment[GNU_STACK].p_flags).\n"
    "VALUE is a number (decimal, 0x, 0b) or an <elf.h> name (ET_DYN, EM_RISCV,\n"
    "SHT_NOBITS); flag fields take names joined by '|' (SHF_ALLOC|SHF_WRITE),\n"
    "or +NAME and -NAME to set or clear one.\n"
    "\n"
    "Exit status: 0 every FILE handled, 1 a FILE not read or written, 2 usage\n"
    "error, 3 a value that does not fit its field (that FILE is not written).\n";

static const struct option long_options[] = {
    {"set", required_argument, NULL, OPT_SET},
    {"get", required_argument, NULL, OPT_GET},
    {"set-execstack", no_argument, NULL, OPT_SET_EXECSTACK},
    {"clear-execstack", no_argument, NULL, OPT_CLEAR_EXECSTACK},
    {"output-type", required_argument, NULL, OPT_OUTPUT_TYPE},
    {"output-mach", required_argument, NULL, OPT_OUTPUT_MACH},
    {"output-osabi", required_argument, NULL, OPT_OUTPUT_OSABI},
    {"output-abiversion", required_argument, NULL, OPT_OUTPUT_ABIVERSION},
    {"input-type", required_argument, NULL, OPT_INPUT_TYPE},
    {"input-mach", required_argument, NULL, OPT_INPUT_MACH},
    {"input-osabi", required_argument, NULL, OPT_INPUT_OSABI},
    {"input-abiversion", required_argument, NULL, OPT_INPUT_ABIVERSION},
    {"output", required_argument, NULL, 'o'},
    {"dry-run", no_argument, NULL, OPT_DRY_RUN},
    {"json", no_argument, NULL, OPT_JSON},
    {"help", no_argument, NULL, OPT_HELP},
    {"version", no_argument, NULL, OPT_VERSION},
    {NULL, 0, NULL, 0},
};

/* elfedit's spellings where they are not the <elf.h> name without its
 * prefix, and the OS/ABI numbers <elf.h> has no name for. */
typedef struct alias {
    const char *name;
    const char *value;
} alias;

static const alias machine_aliases[] = {
    {"i386", "EM_386"}, {"l1om", "EM_L10M"}, {"k1om", "EM_K10M"}, {NULL, NULL}};
static const alias osabi_aliases[] = {
    {"linux", "ELFOSABI_GNU"}, {"openvms", "13"},  {"nsk", "14"}, {"aros", "15"},
    {"fenixos", "16"},         {"cloudabi", "17"}, {NULL, NULL}};
static const alias no_aliases[] = {{NULL, NULL}};

/* The field and the value spelling of each elfedit option. */
static const struct {
    const char *field;
    const char *prefix;
    const alias *aliases;
} shorthands[] = {
    {"ehdr.e_type", "ET_", no_aliases},
    {"ehdr.e_machine", "EM_", machine_aliases},
    {"ehdr.EI_OSABI", "ELFOSABI_", osabi_aliases},
    {"ehdr.EI_ABIVERSION", "", no_aliases},
};

static int same_name(const char *a, const char *b)
{
    for (; *a != '\0' && *b != '\0'; a++, b++)
        if (tolower((unsigned char)*a) != tolower((unsigned char)*b))
            return 0;
    return *a == *b;
}

/* The VALUE an elfedit-style argument stands for: a number as it is, an
 * alias's value, or the <elf.h> name with its prefix, in capitals. */
static char *shorthand_value(const char *text, const char *prefix, const alias *aliases)
{
    uint64_t number;
    size_t length = strlen(prefix) + strlen(text) + 1;
    char *value = malloc(length);
    if (value == NULL)
        return NULL;
    for (const alias *a = aliases; a->name != NULL; a++)
        if (same_name(text, a->name)) {
            (void)snprintf(value, length, "%s", a->value);
            return value;
        }
    if (value_number(text, &number) == 0 || strncmp(text, prefix, strlen(prefix)) == 0)
        prefix = "";
    (void)snprintf(value, length, "%s%s", prefix, text);
    for (char *c = value; *c != '\0'; c++)
        *c = (char)toupper((unsigned char)*c);
    return value;
}

typedef struct command {
    edit_op *ops;
    size_t count;
    edit_run run;
} command;

/* Adds one op; -1 after a usage message. */
static int add_op(command *cmd, enum edit_kind kind, const char *field, const char *value,
                  char *owned)
{
    edit_op *op = &cmd->ops[cmd->count];
    op->kind = kind;
    op->value = value;
    op->owned = owned;
    if (field == NULL || field_ref_parse(&op->ref, field) != 0) {
        free(owned);
        return -1;
    }
    cmd->count++;
    return 0;
}

static int add_set(command *cmd, const char *argument)
{
    char *copy = strdup(argument);
    char *equals = copy != NULL ? strrchr(copy, '=') : NULL;
    if (equals == NULL) {
        if (copy != NULL)
            diag_usage("'--set %s': FIELD=VALUE expected", argument);
        free(copy);
        return -1;
    }
    *equals = '\0';
    return add_op(cmd, EDIT_SET, copy, equals + 1, copy);
}

static int add_shorthand(command *cmd, int option, const char *argument)
{
    int output = option <= OPT_OUTPUT_ABIVERSION;
    int which = output ? option - OPT_OUTPUT_TYPE : option - OPT_INPUT_TYPE;
    char *value = shorthand_value(argument, shorthands[which].prefix, shorthands[which].aliases);
    if (value == NULL)
        return -1;
    return add_op(cmd, output ? EDIT_SET : EDIT_EXPECT, shorthands[which].field, value, value);
}

static int read_option(command *cmd, int option)
{
    switch (option) {
    case OPT_SET: return add_set(cmd, optarg);
    case OPT_GET: return add_op(cmd, EDIT_GET, optarg, NULL, NULL);
    case OPT_SET_EXECSTACK:
        return add_op(cmd, EDIT_SET, "segment[GNU_STACK].p_flags", "+PF_X", NULL);
    case OPT_CLEAR_EXECSTACK:
        return add_op(cmd, EDIT_SET, "segment[GNU_STACK].p_flags", "-PF_X", NULL);
    case 'o': cmd->run.output = optarg; return 0;
    case OPT_DRY_RUN: cmd->run.dry_run = 1; return 0;
    case OPT_JSON: cmd->run.json = 1; return 0;
    case '?': diag_try_help(); return -1;
    default:
        if (option >= OPT_OUTPUT_TYPE && option <= OPT_INPUT_ABIVERSION)
            return add_shorthand(cmd, option, optarg);
        return -1;
    }
}

static int run_files(const command *cmd, int argc, char **argv)
{
    int status = EDIT_OK;
    for (int i = optind; i < argc; i++) {
        int one = edit_file(&cmd->run, argv[i]);
        if (one > status)
            status = one;
    }
    return out_flush() == 0 || status != EDIT_OK ? status : EDIT_FILE;
}

int main(int argc, char **argv)
{
    static const char program[] = "objlens-edit";
    command cmd = {calloc((size_t)argc, sizeof(edit_op)), 0, {0}};
    int option;
    int status = EDIT_USAGE;

    diag_set_program(program);
    if (cmd.ops == NULL) {
        diag_file(NULL, "%s", strerror(ENOMEM));
        return EDIT_FILE;
    }
    /* getopt_long says what is wrong with an option in its own words,
     * under the name it finds in argv[0]. */
    argv[0] = (char *)program;
    while ((option = getopt_long(argc, argv, "o:", long_options, NULL)) != -1) {
        if (option == OPT_HELP || option == OPT_VERSION) {
            if (option == OPT_HELP) {
                out_str(usage_text);
            } else {
                out_str("objlens-edit (objlens) ");
                out_str(objlens_get_version());
                out_char('\n');
            }
            status = out_flush() == 0 ? EDIT_OK : EDIT_FILE;
            goto done;
        }
        if (read_option(&cmd, option) != 0)
            goto done;
    }
    cmd.run.ops = cmd.ops;
    cmd.run.count = cmd.count;
    cmd.run.name_files = argc - optind > 1;
    if (optind == argc)
        diag_usage("no FILE given");
    else if (cmd.count == 0)
        diag_usage("nothing to do: give --set, --get or another edit");
    else if (cmd.run.output != NULL && argc - optind > 1)
        diag_usage("-o takes one FILE");
    else
        status = run_files(&cmd, argc, argv);
done:
    for (size_t i = 0; i < cmd.count; i++)
        free(cmd.ops[i].owned);
    free(cmd.ops);
    return status;
}
