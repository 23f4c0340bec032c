// load_source.hpp - the bytes a load reads its headers from.
//
// A buffer source is copied once and read in place; the copy becomes the
// image's cache.  A file source is read with pread, in as few calls as the
// usual layouts allow: the first KiB (ELF header and, usually, the program
// header table; a can_load just before has read it already, and the record
// hands it over) and one window over the section header table together
// with the bytes just before it, where linkers put the section name string
// table.  Every failure says why in the caller's record.
#pragma once

#include "file_io.hpp"
#include "range.hpp"

#include <cstddef>
#include <cstdint>

namespace objkit {

class LoadSource {
public:
    explicit LoadSource(objkit_source *record) : record_(record) {}
    LoadSource(const LoadSource &) = delete;
    LoadSource &operator=(const LoadSource &) = delete;
    ~LoadSource();

    // False when the source cannot be opened or copied.
    bool open() noexcept;

    objkit_source *record() const { return record_; }
    uint64_t size() const { return size_; }
    bool is_file() const { return fd_ >= 0; }

    // Whether [offset, offset + count) lies inside the source.
    bool contains(uint64_t offset, uint64_t count) const
    {
        return range_inside(offset, count, size_);
    }

    // Copies a contained range into `dest`.
    bool read(uint64_t offset, void *dest, size_t count) noexcept;

    // The bytes of a contained range, valid until the next view(); for a
    // file they are read into a window that also takes up to `lead` bytes
    // before the range, so that a later read from there costs no call.
    const unsigned char *view(uint64_t offset, size_t count, size_t lead = 0) noexcept;

    // The bytes of a contained range when the source holds them already
    // (a buffer's copy, the head, the window), valid until the next view();
    // null otherwise.  Reads nothing.
    const unsigned char *held(uint64_t offset, size_t count) const noexcept;

    // True when a file source still looks as it did when it was opened.
    bool unchanged() noexcept;

    // Hands the descriptor or the copy to the image: the source no longer
    // releases them.
    void release_into(objkit_image_state *state) noexcept;

private:
    const unsigned char *cached(uint64_t offset, size_t count) const;
    bool read_failed(uint64_t offset, size_t count) noexcept;

    objkit_source *record_;
    OpenedFile file_;
    int fd_ = -1;
    unsigned char *copy_ = nullptr;
    uint64_t base_ = 0;  // where the source starts in the file
    uint64_t size_ = 0;
    unsigned char head_[OBJKIT_PROBE_HEAD];
    size_t head_size_ = 0;
    unsigned char *window_ = nullptr;
    uint64_t window_offset_ = 0;
    size_t window_size_ = 0;
};

}  // namespace objkit
