// any_image.hpp - one test-side handle over images of either class.
//
// The backend has one set of operations per class; tests that walk real
// files do not know the class in advance.  AnyImage loads a source with
// whichever class accepts it and answers in host-order values, so a test
// reads the same way for all four class and byte-order combinations.  Each
// answer is written once, over the class traits the library uses.
#pragma once

#include "backend_class.hpp"
#include "objkit.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace objkit_test {

struct SectionFacts {
    uint32_t index = 0;
    uint32_t orig_index = 0;
    std::string name;
    const char *name_address = nullptr;
    uint32_t name_offset = 0;
    uint32_t type = 0;
    uint64_t flags = 0;
    uint64_t addr = 0;
    uint64_t offset = 0;
    uint64_t size = 0;
    uint32_t link = 0;
    uint32_t info = 0;
    uint64_t addralign = 0;
    uint64_t entsize = 0;
    uint32_t data_size = 0;
};

struct ProgramFacts {
    uint32_t type = 0;
    uint32_t flags = 0;
    uint64_t offset = 0;
    uint64_t vaddr = 0;
    uint64_t paddr = 0;
    uint64_t filesz = 0;
    uint64_t memsz = 0;
    uint64_t align = 0;
};

class AnyImage {
    // Calls f(traits, image) with the loaded image and its class's traits.
    // (Defined first: its result type is deduced where it is used.)
    template <class F>
    decltype(auto) with(F &&f) const
    {
        if (i32_ != nullptr)
            return f(objlens::backend_class<32>{}, i32_);
        return f(objlens::backend_class<64>{}, i64_);
    }

public:
    AnyImage() = default;
    explicit AnyImage(const objkit_source &source) { load(source); }
    AnyImage(const AnyImage &) = delete;
    AnyImage &operator=(const AnyImage &) = delete;
    ~AnyImage() { release(); }

    // Loads as objlens does: class 32 when it accepts the source, else 64.
    // The image keeps its own copy of the record, for what the backend says.
    bool load(const objkit_source &source)
    {
        release();
        source_ = source;
        if (objcore32_can_load(&source_))
            i32_ = objcore32_load(&source_);
        else if (objcore64_can_load(&source_))
            i64_ = objcore64_load(&source_);
        return loaded();
    }

    // The record after the load: its reason says why a load was refused.
    const objkit_source &source() const { return source_; }

    bool loaded() const { return i32_ != nullptr || i64_ != nullptr; }
    int bits() const { return i32_ ? 32 : 64; }
    objcore32_image *image32() const { return i32_; }
    objcore64_image *image64() const { return i64_; }

    unsigned char ident(int at) const
    {
        return with([&](auto, const auto *image) { return image->ehdr.e_ident[at]; });
    }
    uint16_t machine() const
    {
        return with([](auto c, const auto *image) {
            return decltype(c)::core_load_Half(image, image->ehdr.e_machine);
        });
    }
    uint16_t type() const
    {
        return with([](auto c, const auto *image) {
            return decltype(c)::core_load_Half(image, image->ehdr.e_type);
        });
    }
    uint64_t image_base() const
    {
        return with([](auto, const auto *image) { return uint64_t{image->image_base}; });
    }
    uint32_t num_sections() const
    {
        return with(
            [](auto c, const auto *image) { return decltype(c)::core_num_sections(image); });
    }
    uint32_t num_programs() const
    {
        return with(
            [](auto c, const auto *image) { return decltype(c)::core_num_programs(image); });
    }
    bool has_section(uint32_t index) const
    {
        return with([&](auto c, const auto *image) {
            return decltype(c)::core_get_section(image, index) != nullptr;
        });
    }
    bool has_program(uint32_t index) const
    {
        return with([&](auto c, const auto *image) {
            return decltype(c)::core_get_program(image, index) != nullptr;
        });
    }

    SectionFacts section(uint32_t index) const
    {
        return with([&](auto c, const auto *image) {
            using C = decltype(c);
            const auto *s = C::core_get_section(image, index);
            const auto &h = s->shdr;
            SectionFacts f;
            f.index = s->index;
            f.orig_index = s->orig_index;
            f.name = s->name;
            f.name_address = s->name;
            f.name_offset = C::swap(image, h.sh_name);
            f.type = C::swap(image, h.sh_type);
            f.flags = C::swap(image, h.sh_flags);
            f.addr = C::swap(image, h.sh_addr);
            f.offset = C::swap(image, h.sh_offset);
            f.size = C::swap(image, h.sh_size);
            f.link = C::swap(image, h.sh_link);
            f.info = C::swap(image, h.sh_info);
            f.addralign = C::swap(image, h.sh_addralign);
            f.entsize = C::swap(image, h.sh_entsize);
            f.data_size = s->data->size;
            return f;
        });
    }

    // The index of the first section named `name`, or -1.
    int64_t find(const char *name) const
    {
        return with([&](auto c, const auto *image) {
            const auto *s = decltype(c)::core_find_section(image, name);
            return s ? int64_t{s->index} : int64_t{-1};
        });
    }

    ProgramFacts program(uint32_t index) const
    {
        return with([&](auto c, const auto *image) {
            using C = decltype(c);
            const auto &h = C::core_get_program(image, index)->phdr;
            ProgramFacts f;
            f.type = C::swap(image, h.p_type);
            f.flags = C::swap(image, h.p_flags);
            f.offset = C::swap(image, h.p_offset);
            f.vaddr = C::swap(image, h.p_vaddr);
            f.paddr = C::swap(image, h.p_paddr);
            f.filesz = C::swap(image, h.p_filesz);
            f.memsz = C::swap(image, h.p_memsz);
            f.align = C::swap(image, h.p_align);
            return f;
        });
    }

    objcore_data *data(uint32_t index) const
    {
        return with([&](auto c, const auto *image) {
            return decltype(c)::core_get_section(image, index)->data;
        });
    }

    // raw_read of the class, with 64-bit arguments narrowed for class 32
    // only when they fit (a class-32 caller cannot pass more).
    bool raw_read(uint32_t index, void *dest, uint64_t count, uint64_t offset) const
    {
        return with([&](auto c, const auto *) {
            using Width = typename decltype(c)::data_offset;
            if (count > Width(~Width{0}) || offset > Width(~Width{0}))
                return false;
            return decltype(c)::core_raw_read(data(index), dest, static_cast<Width>(count),
                                              static_cast<Width>(offset)) != 0;
        });
    }

    // The whole data of a section, or false when it cannot be read.
    bool read_all(uint32_t index, std::vector<unsigned char> *out) const
    {
        out->assign(data(index)->size, 0);
        return raw_read(index, out->data(), out->size(), 0);
    }

    bool read_name(uint32_t index, size_t offset, const char **name) const
    {
        return with([&](auto c, const auto *image) {
            using C = decltype(c);
            return C::core_read_name(image, offset, C::core_get_section(image, index), name) != 0;
        });
    }

    bool save(const std::string &path) const
    {
        return with(
            [&](auto c, auto *image) { return decltype(c)::core_save(image, path.c_str()) != 0; });
    }

    unsigned data_order() const { return ident(EI_DATA); }

    // e_shstrndx, with SHN_XINDEX resolved through section 0.
    uint32_t name_table_index() const
    {
        const uint16_t index = with([](auto c, const auto *image) {
            return decltype(c)::core_load_Half(image, image->ehdr.e_shstrndx);
        });
        return index == SHN_XINDEX ? section(0).link : index;
    }

private:
    void release()
    {
        objcore32_free(i32_);
        objcore64_free(i64_);
        i32_ = nullptr;
        i64_ = nullptr;
    }

    objkit_source source_{};
    objcore32_image *i32_ = nullptr;
    objcore64_image *i64_ = nullptr;
};

}  // namespace objkit_test
