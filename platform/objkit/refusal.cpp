// refusal.cpp - writing a verdict into a source record.
#include "refusal.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace objkit {

bool refuse(objkit_source *record, int reason, int error, const char *format, ...) noexcept
{
    record->reason = reason;
    record->error = error;
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(record->reason_text, sizeof record->reason_text, format, arguments);
    va_end(arguments);
    return false;
}

bool refuse_with(objkit_source *record, int reason, int error, const char *text) noexcept
{
    record->reason = reason;
    record->error = error;
    const size_t length = strnlen(text, sizeof record->reason_text - 1);
    std::memcpy(record->reason_text, text, length);
    record->reason_text[length] = '\0';
    return false;
}

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
