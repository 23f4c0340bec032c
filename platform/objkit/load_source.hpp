// load_source.hpp - the bytes a load reads its headers from.
//
// A buffer source is copied once and read in place.  A file source is read
// with pread, in as few calls as the usual layouts allow: the first KiB
// (ELF header and, usually, the program header table; the probe of a
// can_load just before has read it already) and one window over
// the section header table together with the bytes just before it, where
// linkers put the section name string table.
#pragma once

#include "image_state.hpp"
#include "probe.hpp"

#include <cstddef>
#include <cstdint>

namespace objkit {

class LoadSource {
public:
    LoadSource() = default;
    LoadSource(const LoadSource &) = delete;
    LoadSource &operator=(const LoadSource &) = delete;
    ~LoadSource();

    // False when the source cannot be opened or copied.
    bool open(const objkit_source *source) noexcept;

    uint64_t size() const { return size_; }
    bool is_file() const { return fd_ >= 0; }

    // Whether [offset, offset + count) lies inside the source.
    bool contains(uint64_t offset, uint64_t count) const
    {
        return offset <= size_ && count <= size_ - offset;
    }

    // Copies a contained range into `dest`.
    bool read(uint64_t offset, void *dest, size_t count) noexcept;

    // The bytes of a contained range, valid until the next view(); for a
    // file they are read into a window that also takes up to `lead` bytes
    // before the range, so that a later read from there costs no call.
    const unsigned char *view(uint64_t offset, size_t count, size_t lead = 0) noexcept;

    // True when a file source still looks as it did when it was opened.
    bool unchanged() noexcept;

    // Hands the descriptor or the copy to the image: the source no longer
    // releases them.
    void release_into(objkit_image_state *state) noexcept;

private:
    const unsigned char *cached(uint64_t offset, size_t count) const;

    static constexpr size_t head_capacity = file_head_capacity;

    int fd_ = -1;
    unsigned mode_ = 0;
    objkit_file_stamp stamp_{};
    unsigned char *copy_ = nullptr;
    uint64_t size_ = 0;
    unsigned char head_[head_capacity];
    size_t head_size_ = 0;
    unsigned char *window_ = nullptr;
    uint64_t window_offset_ = 0;
    size_t window_size_ = 0;
};

}  // namespace objkit
