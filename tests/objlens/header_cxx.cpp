// header_cxx.cpp - the public header compiles as C++ with the tables and
// records usable from C++ code.
#include "objlens.h"

#include <type_traits>

static_assert(std::is_standard_layout_v<objlens_image>);
static_assert(std::is_trivially_copyable_v<objlens_sym>);
static_assert(std::is_same_v<decltype(objlens_ops_32.bits), int32_t>);

int main() { return objlens_ops_64.sizeof_Sym == 24 && objlens_ops_32.sizeof_Rela == 12 ? 0 : 1; }
