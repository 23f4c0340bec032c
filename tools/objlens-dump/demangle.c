/*
 * demangle.c - demangle_symbol() on libiberty's demanglers.  The default
 * style tries Rust (v0 and legacy) and then GNU v3 C++, as readers do; the
 * others (D among them) are asked for by name.  Each style calls its
 * demangler directly, so that libiberty's own current style is never set.
 *
 * A name of a few hundred bytes can demangle to hundreds of megabytes
 * (each back-reference repeats all that it names): a result longer than
 * DEMANGLE_MAX_LENGTH is dropped and the name shown as it is mangled.
 */
#include "demangle.h"

#include <libiberty/demangle.h>
#include <stdlib.h>
#include <string.h>

int demangle_style_named(const char *name)
{
    enum demangling_styles style = cplus_demangle_name_to_style(name);
    if (style == unknown_demangling)
        return -1;
    return style == no_demangling ? DEMANGLE_NONE : (int)style;
}

int demangle_style_default(void) { return (int)auto_demangling; }

char *demangle_symbol(const char *name, int style)
{
    const int options = DMGL_PARAMS | DMGL_ANSI;
    char *demangled;
    if (name[0] == '\0')
        return NULL; /* the Ada demangler would show an empty name as "<>" */
    switch (style) {
    case DEMANGLE_NONE: return NULL;
    case gnu_v3_demangling: demangled = cplus_demangle_v3(name, options); break;
    case rust_demangling: demangled = rust_demangle(name, options); break;
    case dlang_demangling: demangled = dlang_demangle(name, options); break;
    case java_demangling: demangled = java_demangle_v3(name); break;
    case gnat_demangling: demangled = ada_demangle(name, options); break;
    default: demangled = cplus_demangle(name, options); break;
    }
    if (demangled != NULL && strlen(demangled) > DEMANGLE_MAX_LENGTH) {
        free(demangled);
        return NULL;
    }
    return demangled;
}
