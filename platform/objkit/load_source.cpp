// load_source.cpp - opening, copying and windowed reading of load sources.
#include "load_source.hpp"

#include "probe.hpp"
#include "refusal.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace objkit {

LoadSource::~LoadSource()
{
    std::free(window_);
    std::free(copy_);
    if (fd_ >= 0)
        ::close(fd_);
}

bool LoadSource::open() noexcept
{
    if (!usable_kind(record_))
        return false;
    if (record_->kind == OBJKIT_SOURCE_BUFFER) {
        copy_ = static_cast<unsigned char *>(std::malloc(record_->size));
        if (copy_ == nullptr)
            return refuse(record_, OBJKIT_REASON_MEMORY, ENOMEM,
                          "no memory for a copy of the %zu-byte buffer", record_->size);
        std::memcpy(copy_, record_->bytes, record_->size);
        size_ = record_->size;
        return true;
    }
    // The file its can_load opened, or, without one, the file opened now.
    if (!take_probe(record_, &file_, head_, &head_size_) &&
        !(probe_anew(record_) && take_probe(record_, &file_, head_, &head_size_)))
        return false;
    fd_ = file_.fd;
    base_ = file_.base;
    size_ = file_.length;
    return true;
}

bool LoadSource::read_failed(uint64_t offset, size_t count) noexcept
{
    const int error = errno;
    // Every read lies inside the size the file had when it was opened, so
    // a file that ends early has changed since: say so, for a caller who
    // tries again on a change.
    if (!unchanged())
        return false;
    return refuse(record_, OBJKIT_REASON_READ, error, "%zu bytes at 0x%llx cannot be read: %s",
                  count, static_cast<unsigned long long>(offset),
                  error != 0 ? std::strerror(error) : "the file ended early");
}

const unsigned char *LoadSource::cached(uint64_t offset, size_t count) const
{
    if (range_inside(offset, count, head_size_))
        return head_ + offset;
    if (window_ != nullptr && offset >= window_offset_ &&
        range_inside(offset - window_offset_, count, window_size_))
        return window_ + (offset - window_offset_);
    return nullptr;
}

const unsigned char *LoadSource::held(uint64_t offset, size_t count) const noexcept
{
    if (!contains(offset, count))
        return nullptr;
    return copy_ != nullptr ? copy_ + offset : cached(offset, count);
}

bool LoadSource::read(uint64_t offset, void *dest, size_t count) noexcept
{
    if (!contains(offset, count))
        return false;
    if (copy_ != nullptr) {
        std::memcpy(dest, copy_ + offset, count);
        return true;
    }
    if (const unsigned char *bytes = cached(offset, count)) {
        std::memcpy(dest, bytes, count);
        return true;
    }
    return read_exactly(fd_, dest, count, base_ + offset) || read_failed(offset, count);
}

const unsigned char *LoadSource::view(uint64_t offset, size_t count, size_t lead) noexcept
{
    if (!contains(offset, count))
        return nullptr;
    if (copy_ != nullptr)
        return copy_ + offset;
    if (const unsigned char *bytes = cached(offset, count))
        return bytes;
    size_t before = offset < lead ? static_cast<size_t>(offset) : lead;
    if (count > SIZE_MAX - before)
        before = 0;
    size_t total = before + count;
    auto *window = static_cast<unsigned char *>(std::malloc(total == 0 ? 1 : total));
    if (window == nullptr) {
        refuse(record_, OBJKIT_REASON_MEMORY, ENOMEM, "no memory for %zu bytes of headers", total);
        return nullptr;
    }
    if (!read_exactly(fd_, window, total, base_ + (offset - before))) {
        read_failed(offset - before, total);
        std::free(window);
        return nullptr;
    }
    std::free(window_);
    window_ = window;
    window_offset_ = offset - before;
    window_size_ = total;
    return window_ + before;
}

bool LoadSource::unchanged() noexcept
{
    if (fd_ < 0)
        return true;
    objkit_file file{};
    file.fd = fd_;
    file.stamp = file_.stamp;
    return file_unchanged(&file) ||
           refuse(record_, OBJKIT_REASON_CHANGED, 0, "the file changed while it was loaded");
}

void LoadSource::release_into(objkit_image_state *state) noexcept
{
    objkit_file &file = state->file;
    file = objkit_file{};
    file.fd = fd_;
    file.mode = file_.mode;
    file.stamp = file_.stamp;
    file.base = base_;
    file.size = size_;
    file.cache = copy_;  // a buffer's copy is its image's cache; a file's comes later
    fd_ = -1;
    copy_ = nullptr;
}

}  // namespace objkit
