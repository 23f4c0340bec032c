/*
 * demangle.h - C++, Rust, D, Java and Ada names as source code spells
 * them, for -C.
 */
#ifndef OBJLENS_DUMP_DEMANGLE_H
#define OBJLENS_DUMP_DEMANGLE_H

/* The longest demangled name shown (objlens-dump(1) states it). */
#define DEMANGLE_MAX_LENGTH 65536

/* No demangling: what --demangle=none asks for. */
#define DEMANGLE_NONE 0

/* The style --demangle=STYLE names ("auto", "gnu-v3", "rust", "dlang",
 * "java", "gnat", "none"), or -1 for a name that is none of them. */
int demangle_style_named(const char *name);
/* The style -C asks for: Rust, then GNU v3 C++. */
int demangle_style_default(void);

/*
 * The demangled form of a mangled name in `style`, in a new string to
 * free; null when `name` is not mangled in that style, cannot be
 * demangled, or demangles to more than DEMANGLE_MAX_LENGTH bytes.
 */
char *demangle_symbol(const char *name, int style);

#endif
