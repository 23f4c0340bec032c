// demangle.cpp - demangle_symbol() on the C++ runtime's demangler,
// abi::__cxa_demangle.  The one buffer is reused from call to call.
//
// A name of a few hundred bytes can demangle to hundreds of megabytes
// (each back-reference repeats all that it names), and the runtime's
// demangler has no limit of its own: a result longer than
// DEMANGLE_MAX_LENGTH is dropped, with its buffer, and the name shown as
// it is mangled.  No exception leaves this file: the callers are C.
#include "demangle.h"

#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <string>

namespace {

std::string shown;  // what the last call returned
char *demangled = nullptr;
size_t demangled_size = 0;

bool is_mangled(const char *name)
{
    if (name[0] == '_' && name[1] == 'Z')
        return true;
    // "_GLOBAL_" then '.', '_' or '$', then 'I' or 'D', then '_'.
    return std::strncmp(name, "_GLOBAL_", 8) == 0 && std::strchr("._$", name[8]) != nullptr &&
           name[8] != '\0' && (name[9] == 'I' || name[9] == 'D') && name[10] == '_';
}

}  // namespace

namespace {

const char *demangle_or_throw(const char *name)
{
    size_t prefix = std::strspn(name, ".$");
    const char *core = name + prefix;
    const char *suffix = std::strchr(core, '@');
    if (suffix == core)
        return name;
    // Tested before the version is cut off: is_mangled reads at most the
    // first 11 bytes and fails on an '@' among them just as on the end of
    // the cut name, so most names are turned away without a copy.
    if (!is_mangled(core))
        return name;
    std::string mangled = suffix != nullptr ? std::string(core, suffix) : std::string(core);
    int status = 0;
    size_t size = demangled_size;
    char *result = abi::__cxa_demangle(mangled.c_str(), demangled, &size, &status);
    if (result == nullptr || status != 0)
        return name;
    demangled = result;
    if (size > demangled_size)
        demangled_size = size;
    if (std::strlen(result) > DEMANGLE_MAX_LENGTH) {
        std::free(demangled);
        demangled = nullptr;
        demangled_size = 0;
        return name;
    }
    shown.assign(name, prefix);
    shown.append(result);
    if (suffix != nullptr)
        shown.append(suffix);
    return shown.c_str();
}

}  // namespace

extern "C" const char *demangle_symbol(const char *name)
{
    try {
        return demangle_or_throw(name);
    } catch (...) {
        // Out of memory for a copy of the name or of its demangled form.
        return name;
    }
}
