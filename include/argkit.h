/*
 * argkit.h - the command-line option parser runcard reads its options with.
 *
 * A program hands the parser its argument words once, tells it the long
 * option names, and then asks for one option at a time.  Matching is done by
 * the C library's getopt_long, one word at a time, so short letters, long
 * names, unambiguous abbreviations of long names and "--name=value" follow
 * the GNU conventions users know.
 *
 * The table of long options carries no arity: the parser learns that an
 * option takes an argument only when the program calls e_opt_getstr right
 * after e_getoption returned that option.  The argument is then the rest of
 * the same word ("-s0x10", "--stack=0x10") or else the next word ("-s 0x10",
 * "--stack 0x10"), which is consumed.  Options that are never asked for an
 * argument are flags, and flags may be grouped ("-DV"); inside a group a
 * letter asked for an argument takes the rest of the word ("-pD": "D").
 *
 * Word rules:
 *   - "--" ends the options; every later word is an operand.
 *   - "-" alone and any word not starting with '-' is an operand.  With
 *     E_OPT_PERMUTE operands may stand between options and are collected;
 *     without it the first operand ends the options.
 *   - "--help", or an unambiguous abbreviation of it, gives E_OPT_HELP.
 *   - A long name that matches nothing, or that abbreviates several names,
 *     gives E_OPT_UNKNOWN_LONG.  So does "--name=value" for an option whose
 *     argument the program did not ask for: it is reported by the next
 *     e_getoption, since only then does the parser know the value went
 *     unused.
 *   - A letter that no table row has as its code is returned as it is, so
 *     the program reports it as an unknown switch.
 *
 * All state lives in the caller's e_option_context; the parser keeps none
 * of its own.  The C library's getopt globals (optind, optarg, opterr,
 * optopt) are reset for every word matched, so whatever a program's own
 * getopt scan left there neither disturbs a parse nor survives one.
 * Nothing here throws; every call is safe to make from C.
 */
#ifndef ARGKIT_H
#define ARGKIT_H

#ifdef __cplusplus
#define ARGKIT_NOEXCEPT noexcept
extern "C" {
#else
#define ARGKIT_NOEXCEPT
#endif

/* e_getoption results besides option codes. */
#define E_OPT_END (-1)          /* no options left; *argc and *argv hold the operands */
#define E_OPT_HELP (-2)         /* "--help" or an abbreviation of it */
#define E_OPT_UNKNOWN_LONG (-3) /* e_opt_getstr gives the word as typed */

/* e_initoption flags. */
#define E_OPT_PERMUTE 1 /* operands may stand between options */

/* The most rows a long-option table may have (its end row not counted). */
#define E_OPT_MAX_LONG 62

/*
 * One long option: `name` written with its two leading dashes ("--stack"),
 * `code` the value e_getoption returns for it, as a rule the letter of the
 * matching short option.  A row with a null name ends the table.
 */
typedef struct e_longoption {
    const char *name;
    int code;
} e_longoption;

/*
 * The parser's state for one command line.  The members are the parser's;
 * a program only passes the record's address.
 */
typedef struct e_option_context {
    int *argc;                 /* the caller's count, set when options end */
    char ***argv;              /* the caller's vector, set when options end */
    char **words;              /* the words to parse; operands are moved to the front */
    int nwords;                /* how many words there are */
    int next;                  /* the next word to look at */
    int noperands;             /* operands collected in words[0..noperands) */
    int flags;                 /* E_OPT_* flags */
    int finished;              /* 1 once E_OPT_END has been returned */
    const e_longoption *table; /* long options, or null */
    char *group;               /* the grouped short-option word being walked */
    int group_pos;             /* index in `group` of the letter last returned */
    char *word;                /* the word the last option came from */
    char *inline_arg;          /* "=value" of the last long option, until taken */
    int state;                 /* what e_opt_getstr may hand out (private) */
    char short_word[3];        /* "-c": one letter of a group, for matching */
} e_option_context;

/*
 * Prepares `ctx` for the words (*argv)[0] .. (*argv)[*argc - 1], which are
 * the arguments proper (the program name already stepped over).  The words'
 * vector must be writable: operands are moved to its front.  Returns 0, or
 * -1 when an address is null or the count negative.
 */
int e_initoption(e_option_context *ctx, int *argc, char ***argv, int flags) ARGKIT_NOEXCEPT;

/*
 * Sets the long-option table (kept by address, not copied).  Returns 0, or
 * -1, keeping the previous table, when a name does not start with "--", is
 * only "--", or the table has more than E_OPT_MAX_LONG rows.
 */
int e_setlongoption(e_option_context *ctx, const e_longoption *table) ARGKIT_NOEXCEPT;

/*
 * The next option: a short option's letter, a long option's code,
 * E_OPT_HELP, E_OPT_UNKNOWN_LONG, or E_OPT_END when no options are left.
 * At E_OPT_END, *argc is the number of operands and *argv points at the
 * first of them; later calls return E_OPT_END again.
 */
int e_getoption(e_option_context *ctx) ARGKIT_NOEXCEPT;

/*
 * The argument of the option e_getoption has just returned, taken from the
 * rest of its word or else from the next word; null when there is none, and
 * for a second call.  After E_OPT_UNKNOWN_LONG: the word as typed.  The text
 * lives in the caller's argument words.
 */
const char *e_opt_getstr(e_option_context *ctx) ARGKIT_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* ARGKIT_H */
