// probe.cpp - the probe in the source record: kept, answered from, taken
// over, released.
#include "probe.hpp"

#include "identity.hpp"
#include "refusal.hpp"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace objkit {
namespace {

unsigned class_bit(unsigned elf_class) { return elf_class == ELFCLASS32 ? 1u : 2u; }

void clear(objkit_probe *probe) noexcept
{
    if (probe->held != 0)
        ::close(probe->fd);
    probe->path = nullptr;
    probe->served = 0;
    probe->held = 0;
    probe->fd = -1;
    probe->head_size = 0;
}

// Whether the probe was taken for the bytes the record asks for now: the
// same path (a descriptor source names its file once, in its constructor),
// and the same range of it.
bool same_source(const objkit_probe &probe, const objkit_source &record)
{
    if (!source_is_descriptor(record) && (probe.path != record.path || record.path == nullptr))
        return false;
    if (!source_is_range(record))
        return probe.base == 0 && probe.length == probe.size;
    return probe.base == record.probe.range_offset && probe.length == record.size;
}

}  // namespace

bool probe_anew(objkit_source *record) noexcept
{
    objkit_probe *probe = &record->probe;
    clear(probe);
    OpenedFile file;
    if (!open_regular_file(record, &file))
        return false;
    const uint64_t size = file.length;
    const size_t want = size < sizeof probe->head ? static_cast<size_t>(size) : sizeof probe->head;
    if (!read_exactly(file.fd, probe->head, want, file.base)) {
        const int error = errno;
        ::close(file.fd);
        return refuse(record, OBJKIT_REASON_READ, error, "the first %zu bytes cannot be read: %s",
                      want, error != 0 ? std::strerror(error) : "the file ended early");
    }
    probe->path = record->path;
    probe->held = 1;
    probe->fd = file.fd;
    probe->mode = file.mode;
    stamp_to_probe(file.stamp, probe);
    probe->base = file.base;
    probe->length = file.length;
    probe->head_size = static_cast<uint32_t>(want);
    return true;
}

bool probe_head(objkit_source *record, unsigned elf_class, const unsigned char **head,
                size_t *have) noexcept
{
    objkit_probe *probe = &record->probe;
    const unsigned bit = class_bit(elf_class);
    const bool usable =
        probe->served != 0 && (probe->served & bit) == 0 && same_source(*probe, *record);
    if (!usable && !probe_anew(record))
        return false;
    probe->served |= bit;
    *head = probe->head;
    *have = probe->head_size;
    return true;
}

void settle_probe(objkit_source *record) noexcept
{
    objkit_probe *probe = &record->probe;
    if (probe->held != 0 && identified_class(probe->head, probe->head_size) == 0) {
        ::close(probe->fd);
        probe->held = 0;
        probe->fd = -1;
    }
}

bool take_probe(objkit_source *record, OpenedFile *file, unsigned char *head,
                size_t *head_size) noexcept
{
    objkit_probe *probe = &record->probe;
    if (probe->held == 0 || !same_source(*probe, *record)) {
        clear(probe);
        return false;
    }
    file->fd = probe->fd;
    file->mode = probe->mode;
    file->stamp = stamp_from_probe(*probe);
    file->base = probe->base;
    file->length = probe->length;
    std::memcpy(head, probe->head, probe->head_size);
    *head_size = probe->head_size;
    probe->held = 0;  // the load owns the descriptor now
    clear(probe);
    return true;
}

}  // namespace objkit

extern "C" void objkit_source_release(objkit_source *source) noexcept
{
    if (source != nullptr)
        objkit::clear(&source->probe);
}
