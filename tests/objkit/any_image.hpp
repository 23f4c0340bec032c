// any_image.hpp - one test-side handle over images of either class.
//
// The backend has one set of operations per class; tests that walk real
// files do not know the class in advance.  AnyImage loads a source with
// whichever class accepts it and answers in host-order values, so a test
// reads the same way for all four class and byte-order combinations.
#pragma once

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
        return i32_ ? i32_->ehdr.e_ident[at] : i64_->ehdr.e_ident[at];
    }
    uint16_t machine() const
    {
        return i32_ ? objcore32_load_Half(i32_, i32_->ehdr.e_machine)
                    : objcore64_load_Half(i64_, i64_->ehdr.e_machine);
    }
    uint16_t type() const
    {
        return i32_ ? objcore32_load_Half(i32_, i32_->ehdr.e_type)
                    : objcore64_load_Half(i64_, i64_->ehdr.e_type);
    }
    uint64_t image_base() const { return i32_ ? i32_->image_base : i64_->image_base; }
    uint32_t num_sections() const
    {
        return i32_ ? objcore32_get_num_sections(i32_) : objcore64_get_num_sections(i64_);
    }
    uint32_t num_programs() const
    {
        return i32_ ? objcore32_get_num_programs(i32_) : objcore64_get_num_programs(i64_);
    }
    bool has_section(uint32_t index) const
    {
        return i32_ ? objcore32_get_section(i32_, index) != nullptr
                    : objcore64_get_section(i64_, index) != nullptr;
    }
    bool has_program(uint32_t index) const
    {
        return i32_ ? objcore32_get_program(i32_, index) != nullptr
                    : objcore64_get_program(i64_, index) != nullptr;
    }

    SectionFacts section(uint32_t index) const
    {
        return i32_ ? section_facts(objcore32_get_section(i32_, index), i32_)
                    : section_facts(objcore64_get_section(i64_, index), i64_);
    }

    // The index of the first section named `name`, or -1.
    int64_t find(const char *name) const
    {
        if (i32_) {
            const objcore32_section *s = objcore32_find_section(i32_, name);
            return s ? int64_t{s->index} : -1;
        }
        const objcore64_section *s = objcore64_find_section(i64_, name);
        return s ? int64_t{s->index} : -1;
    }

    ProgramFacts program(uint32_t index) const
    {
        return i32_ ? program_facts(objcore32_get_program(i32_, index), i32_)
                    : program_facts(objcore64_get_program(i64_, index), i64_);
    }

    objcore_data *data(uint32_t index) const
    {
        return i32_ ? objcore32_get_section(i32_, index)->data
                    : objcore64_get_section(i64_, index)->data;
    }

    // raw_read of the class, with 64-bit arguments narrowed for class 32
    // only when they fit (a class-32 caller cannot pass more).
    bool raw_read(uint32_t index, void *dest, uint64_t count, uint64_t offset) const
    {
        if (i32_) {
            if (count > UINT32_MAX || offset > UINT32_MAX)
                return false;
            return objcore32_raw_read(data(index), dest, static_cast<uint32_t>(count),
                                      static_cast<uint32_t>(offset)) != 0;
        }
        return objcore64_raw_read(data(index), dest, count, offset) != 0;
    }

    // The whole data of a section, or false when it cannot be read.
    bool read_all(uint32_t index, std::vector<unsigned char> *out) const
    {
        out->assign(data(index)->size, 0);
        return raw_read(index, out->data(), out->size(), 0);
    }

    bool read_name(uint32_t index, size_t offset, const char **name) const
    {
        return i32_ ? objcore32_read_name(i32_, offset, objcore32_get_section(i32_, index), name) !=
                          0
                    : objcore64_read_name(i64_, offset, objcore64_get_section(i64_, index), name) !=
                          0;
    }

    bool save(const std::string &path) const
    {
        return i32_ ? objcore32_save(i32_, path.c_str()) != 0
                    : objcore64_save(i64_, path.c_str()) != 0;
    }

    unsigned data_order() const { return ident(EI_DATA); }

    // e_shstrndx, with SHN_XINDEX resolved through section 0.
    uint32_t name_table_index() const
    {
        const uint16_t raw = i32_ ? i32_->ehdr.e_shstrndx : i64_->ehdr.e_shstrndx;
        const uint16_t index =
            i32_ ? objcore32_load_Half(i32_, raw) : objcore64_load_Half(i64_, raw);
        return index == SHN_XINDEX ? section(0).link : index;
    }

private:
    template <class Section, class Image>
    static SectionFacts section_facts(const Section *s, const Image *image)
    {
        SectionFacts f;
        const unsigned d = image->ehdr.e_ident[EI_DATA];
        f.index = s->index;
        f.orig_index = s->orig_index;
        f.name = s->name;
        f.name_address = s->name;
        f.name_offset = swap(image, s->shdr.sh_name, d);
        f.type = swap(image, s->shdr.sh_type, d);
        f.flags = swap(image, s->shdr.sh_flags, d);
        f.addr = swap(image, s->shdr.sh_addr, d);
        f.offset = swap(image, s->shdr.sh_offset, d);
        f.size = swap(image, s->shdr.sh_size, d);
        f.link = swap(image, s->shdr.sh_link, d);
        f.info = swap(image, s->shdr.sh_info, d);
        f.addralign = swap(image, s->shdr.sh_addralign, d);
        f.entsize = swap(image, s->shdr.sh_entsize, d);
        f.data_size = s->data->size;
        return f;
    }

    template <class Program, class Image>
    static ProgramFacts program_facts(const Program *p, const Image *image)
    {
        ProgramFacts f;
        const unsigned d = image->ehdr.e_ident[EI_DATA];
        f.type = swap(image, p->phdr.p_type, d);
        f.flags = swap(image, p->phdr.p_flags, d);
        f.offset = swap(image, p->phdr.p_offset, d);
        f.vaddr = swap(image, p->phdr.p_vaddr, d);
        f.paddr = swap(image, p->phdr.p_paddr, d);
        f.filesz = swap(image, p->phdr.p_filesz, d);
        f.memsz = swap(image, p->phdr.p_memsz, d);
        f.align = swap(image, p->phdr.p_align, d);
        return f;
    }

    static uint32_t swap(const objcore32_image *i, uint32_t v, unsigned d)
    {
        return objcore32_swap32(i, v, d);
    }
    static uint32_t swap(const objcore64_image *i, uint32_t v, unsigned d)
    {
        return objcore64_swap32(i, v, d);
    }
    static uint64_t swap(const objcore64_image *i, uint64_t v, unsigned d)
    {
        return objcore64_swap64(i, v, d);
    }

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
