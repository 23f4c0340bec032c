// load_source.cpp - opening, copying and windowed reading of load sources.
#include "load_source.hpp"

#include "file_io.hpp"
#include "probe.hpp"

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

bool LoadSource::open(const objkit_source *source) noexcept
{
    if (source == nullptr)
        return false;
    if (source->kind == OBJKIT_SOURCE_BUFFER) {
        if (source->bytes == nullptr || source->size == 0)
            return false;
        copy_ = static_cast<unsigned char *>(std::malloc(source->size));
        if (copy_ == nullptr)
            return false;
        std::memcpy(copy_, source->bytes, source->size);
        size_ = source->size;
        return true;
    }
    if (source->kind != OBJKIT_SOURCE_FILE)
        return false;
    ProbedFile probed;
    if (take_probe(source->path, &probed, head_)) {
        fd_ = probed.fd;
        mode_ = probed.mode;
        stamp_ = probed.stamp;
        size_ = stamp_.size;
        head_size_ = probed.head_size;
        return true;
    }
    fd_ = open_regular_file(source->path, &stamp_, &mode_);
    if (fd_ < 0)
        return false;
    size_ = stamp_.size;
    head_size_ = size_ < head_capacity ? static_cast<size_t>(size_) : head_capacity;
    return read_exactly(fd_, head_, head_size_, 0);
}

const unsigned char *LoadSource::cached(uint64_t offset, size_t count) const
{
    if (offset <= head_size_ && count <= head_size_ - offset)
        return head_ + offset;
    if (window_ != nullptr && offset >= window_offset_ && offset - window_offset_ <= window_size_ &&
        count <= window_size_ - (offset - window_offset_))
        return window_ + (offset - window_offset_);
    return nullptr;
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
    return read_exactly(fd_, dest, count, offset);
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
    if (window == nullptr)
        return nullptr;
    if (!read_exactly(fd_, window, total, offset - before)) {
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
    objkit_file file{fd_, nullptr, mode_, stamp_, false};
    return file_unchanged(&file);
}

void LoadSource::release_into(objkit_image_state *state) noexcept
{
    state->file = objkit_file{fd_, copy_, mode_, stamp_, false};
    state->source_size = size_;
    fd_ = -1;
    copy_ = nullptr;
}

}  // namespace objkit
