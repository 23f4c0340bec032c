// refusal.cpp - writing a verdict into a source record.
#include "refusal.hpp"

namespace objkit {

void accept(objkit_source *record) noexcept
{
    record->reason = OBJKIT_REASON_NONE;
    record->error = 0;
    record->reason_text[0] = '\0';
}

const char *source_noun(const objkit_source *record) noexcept
{
    return record->kind == OBJKIT_SOURCE_BUFFER ? "buffer" : "file";
}

}  // namespace objkit
