// argkit.cpp - the option parser: walks the words, lets getopt_long match
// each option word.
//
// getopt_long is handed one word at a time in a two-word vector, after a
// full reset (optind = 0).  Its state inside a grouped word ("-Ds0x10") is
// hidden and would run past a letter whose argument the caller takes from
// the rest of the word, so a group is walked here, letter by letter, and
// each letter is matched as a word "-c" of its own.  Long words are matched
// whole, which gives abbreviations, ambiguity and "=value" as getopt_long
// has them.  Every long option is declared with an optional argument: the
// table has no arity, and that way getopt_long hands over "=value" without
// ever taking the next word itself.
#include "argkit.h"

#include <getopt.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstring>

namespace {

// What e_opt_getstr may hand out for the option just returned.
enum pending_state : int {
    PENDING_NONE = 0,    // no option, or its argument already taken
    PENDING_SHORT = 1,   // rest of the group, else the next word
    PENDING_LONG = 2,    // "=value", else the next word
    PENDING_UNKNOWN = 3  // the unknown long word as typed
};

// getopt_long's results for long names are these values plus the row index.
constexpr int kLongBase = 0x10000;
constexpr int kHelpValue = kLongBase - 1;

// getopt only reads the vector's words, although its prototype is not const.
char *argv0()
{
    static const char name[] = "argkit";
    return const_cast<char *>(name);
}

int table_rows(const e_longoption *table)
{
    int rows = 0;
    while (table != nullptr && table[rows].name != nullptr)
        ++rows;
    return rows;
}

int finish(e_option_context *ctx)
{
    // Operands only ever move towards the front, into slots of words already
    // consumed, so the move is safe in place.
    while (ctx->next < ctx->nwords)
        ctx->words[ctx->noperands++] = ctx->words[ctx->next++];
    if (ctx->noperands < ctx->nwords)
        ctx->words[ctx->noperands] = nullptr;
    *ctx->argc = ctx->noperands;
    *ctx->argv = ctx->words;
    ctx->finished = 1;
    ctx->group = nullptr;
    ctx->state = PENDING_NONE;
    return E_OPT_END;
}

int match_short(e_option_context *ctx, unsigned char letter)
{
    // "+" keeps getopt from reordering, ":" keeps it quiet about arguments;
    // the letters are the table's codes that can be written as short options.
    char optstring[2 + E_OPT_MAX_LONG + 1] = "+:";
    std::size_t used = 2;
    for (const e_longoption *row = ctx->table; row != nullptr && row->name != nullptr; ++row)
        if (row->code > 0 && row->code <= UCHAR_MAX && std::isalnum(row->code))
            optstring[used++] = static_cast<char>(row->code);
    optstring[used] = '\0';

    ctx->short_word[0] = '-';
    ctx->short_word[1] = static_cast<char>(letter);
    ctx->short_word[2] = '\0';
    char *vector[] = {argv0(), ctx->short_word, nullptr};
    opterr = 0;
    optind = 0;
    const int result = getopt(2, vector, optstring);
    ctx->state = result == letter ? PENDING_SHORT : PENDING_NONE;
    return letter;
}

int match_long(e_option_context *ctx, char *word)
{
    option longopts[E_OPT_MAX_LONG + 2];
    const int rows = table_rows(ctx->table);
    for (int i = 0; i < rows; ++i)
        longopts[i] = {ctx->table[i].name + 2, optional_argument, nullptr, kLongBase + i};
    longopts[rows] = {"help", optional_argument, nullptr, kHelpValue};
    longopts[rows + 1] = {nullptr, 0, nullptr, 0};

    char *vector[] = {argv0(), word, nullptr};
    opterr = 0;
    optind = 0;
    optarg = nullptr;
    const int result = getopt_long(2, vector, "+:", longopts, nullptr);

    ctx->word = word;
    if (result == kHelpValue && optarg == nullptr)
        return E_OPT_HELP;
    if (result >= kLongBase && result < kLongBase + rows) {
        ctx->inline_arg = optarg;
        ctx->state = PENDING_LONG;
        return ctx->table[result - kLongBase].code;
    }
    ctx->state = PENDING_UNKNOWN;
    return E_OPT_UNKNOWN_LONG;
}

const char *take_next_word(e_option_context *ctx)
{
    if (ctx->next >= ctx->nwords)
        return nullptr;
    return ctx->words[ctx->next++];
}

}  // namespace

extern "C" int e_initoption(e_option_context *ctx, int *argc, char ***argv, int flags) noexcept
{
    if (ctx == nullptr || argc == nullptr || argv == nullptr || *argc < 0 ||
        (*argc > 0 && *argv == nullptr))
        return -1;
    *ctx = e_option_context{};
    ctx->argc = argc;
    ctx->argv = argv;
    ctx->words = *argv;
    ctx->nwords = *argc;
    ctx->flags = flags;
    return 0;
}

extern "C" int e_setlongoption(e_option_context *ctx, const e_longoption *table) noexcept
{
    if (ctx == nullptr)
        return -1;
    if (table_rows(table) > E_OPT_MAX_LONG)
        return -1;
    for (const e_longoption *row = table; row != nullptr && row->name != nullptr; ++row)
        if (std::strncmp(row->name, "--", 2) != 0 || row->name[2] == '\0')
            return -1;
    ctx->table = table;
    return 0;
}

extern "C" int e_getoption(e_option_context *ctx) noexcept
{
    if (ctx == nullptr || ctx->argc == nullptr)
        return E_OPT_END;
    if (ctx->finished)
        return E_OPT_END;

    // "--name=value" whose value the caller never asked for.
    if (ctx->inline_arg != nullptr) {
        ctx->inline_arg = nullptr;
        ctx->state = PENDING_UNKNOWN;
        return E_OPT_UNKNOWN_LONG;
    }
    ctx->state = PENDING_NONE;

    if (ctx->group != nullptr) {
        const int pos = ctx->group_pos + 1;
        if (ctx->group[pos] != '\0') {
            ctx->group_pos = pos;
            return match_short(ctx, static_cast<unsigned char>(ctx->group[pos]));
        }
        ctx->group = nullptr;
    }

    while (ctx->next < ctx->nwords) {
        char *word = ctx->words[ctx->next];
        if (word[0] != '-' || word[1] == '\0') {
            if ((ctx->flags & E_OPT_PERMUTE) == 0)
                return finish(ctx);
            ctx->words[ctx->noperands++] = word;
            ++ctx->next;
            continue;
        }
        ++ctx->next;
        if (word[1] == '-') {
            if (word[2] == '\0')
                return finish(ctx);
            return match_long(ctx, word);
        }
        ctx->word = word;
        ctx->group = word;
        ctx->group_pos = 1;
        return match_short(ctx, static_cast<unsigned char>(word[1]));
    }
    return finish(ctx);
}

extern "C" const char *e_opt_getstr(e_option_context *ctx) noexcept
{
    if (ctx == nullptr)
        return nullptr;
    switch (ctx->state) {
    case PENDING_SHORT: {
        ctx->state = PENDING_NONE;
        char *rest = ctx->group + ctx->group_pos + 1;
        ctx->group = nullptr;
        if (*rest != '\0')
            return rest;
        return take_next_word(ctx);
    }
    case PENDING_LONG: {
        ctx->state = PENDING_NONE;
        const char *value = ctx->inline_arg;
        ctx->inline_arg = nullptr;
        if (value != nullptr)
            return value;
        return take_next_word(ctx);
    }
    case PENDING_UNKNOWN: return ctx->word;
    default: return nullptr;
    }
}
