/*
 * demangle.h - C++ names as source code spells them, for -C.
 */
#ifndef OBJLENS_DUMP_DEMANGLE_H
#define OBJLENS_DUMP_DEMANGLE_H

/* The longest demangled name shown (objlens-dump(1) states it). */
#define DEMANGLE_MAX_LENGTH 65536

#ifdef __cplusplus
extern "C" {
#endif

/*
 * The demangled form of a mangled C++ name (an Itanium ABI "_Z" name, or
 * a "_GLOBAL_" constructor or destructor list), with a leading run of '.'
 * or '$' and a trailing "@VERSION" kept as they are; `name` itself when it
 * is not mangled or cannot be demangled, or when its demangled form is
 * longer than DEMANGLE_MAX_LENGTH bytes.  The text lives until the next
 * call.
 */
const char *demangle_symbol(const char *name);

#ifdef __cplusplus
}
#endif

#endif
