// refusal.hpp - what the backend tells a caller about a source it refused.
//
// Every can_load and load leaves its verdict in the caller's source record:
// a stable code, the errno behind it where there is one, and a short line
// that names the part and its numbers.
#pragma once

#include "objkit.h"

namespace objkit {

// Records why `record` was refused; returns false, so that a refusal can be
// the value of the check that found it.
bool refuse(objkit_source *record, int reason, int error, const char *format, ...) noexcept
    __attribute__((format(printf, 4, 5)));

// The same with a text that needs no formatting, for refusals that many
// loads meet on their way to an acceptance.
bool refuse_with(objkit_source *record, int reason, int error, const char *text) noexcept;

// Clears the record's verdict after an acceptance.
void accept(objkit_source *record) noexcept;

// "file" or "buffer", for texts that speak of the source's end.
const char *source_noun(const objkit_source *record) noexcept;

}  // namespace objkit
