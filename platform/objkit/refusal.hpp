// refusal.hpp - what the backend tells a caller about a source it refused.
//
// Every can_load and load leaves its verdict in the caller's source record:
// a stable code, the errno behind it where there is one, and a short line
// that names the part and its numbers.
#pragma once

#include "objkit.h"

#include <cstdio>
#include <cstring>

namespace objkit {

// Records why `record` was refused, its text made from a printf format and
// its arguments, or taken as it is when there are none (refusals that many
// loads meet on their way to an acceptance format nothing); returns false,
// so that a refusal can be the value of the check that found it.
template <class... Values>
bool refuse(objkit_source *record, int reason, int error, const char *format,
            Values... values) noexcept
{
    record->reason = reason;
    record->error = error;
    if constexpr (sizeof...(Values) == 0) {
        const size_t length = strnlen(format, sizeof record->reason_text - 1);
        std::memcpy(record->reason_text, format, length);
        record->reason_text[length] = '\0';
    } else {
        (void)std::snprintf(record->reason_text, sizeof record->reason_text, format, values...);
    }
    return false;
}

// Clears the record's verdict after an acceptance.
void accept(objkit_source *record) noexcept;

// True for a file, range or descriptor source or a buffer with bytes in it; otherwise refuses
// the record: an empty buffer, or a kind the backend does not know.  Both
// can_load and load ask it first.
bool usable_kind(objkit_source *record) noexcept;

// A range of a file, by path or by descriptor: its bytes start at the
// probe's range_offset and `size` of them are its own.
inline bool source_is_range(const objkit_source &record)
{
    return record.kind == OBJKIT_SOURCE_FILE_RANGE || record.kind == OBJKIT_SOURCE_DESCRIPTOR_RANGE;
}

// A file the caller holds open, read through a duplicate of its descriptor.
inline bool source_is_descriptor(const objkit_source &record)
{
    return record.kind == OBJKIT_SOURCE_DESCRIPTOR || record.kind == OBJKIT_SOURCE_DESCRIPTOR_RANGE;
}

// "file", "range" or "buffer", for texts that speak of the source's end.
const char *source_noun(const objkit_source *record) noexcept;

}  // namespace objkit
