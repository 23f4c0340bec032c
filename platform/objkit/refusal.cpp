// refusal.cpp - writing a verdict into a source record.
#include "refusal.hpp"

#include <cerrno>

namespace objkit {

void accept(objkit_source *record) noexcept
{
    record->reason = OBJKIT_REASON_NONE;
    record->error = 0;
    record->reason_text[0] = '\0';
}

bool usable_kind(objkit_source *record) noexcept
{
    if (record->kind == OBJKIT_SOURCE_BUFFER)
        return (record->bytes != nullptr && record->size != 0) ||
               refuse(record, OBJKIT_REASON_EMPTY, 0, "the buffer is empty");
    return record->kind == OBJKIT_SOURCE_FILE || source_is_range(*record) ||
           source_is_descriptor(*record) ||
           refuse(record, OBJKIT_REASON_OPEN, EINVAL, "unknown kind of source %d", record->kind);
}

const char *source_noun(const objkit_source *record) noexcept
{
    if (source_is_range(*record))
        return "range";
    return record->kind == OBJKIT_SOURCE_BUFFER ? "buffer" : "file";
}

}  // namespace objkit
