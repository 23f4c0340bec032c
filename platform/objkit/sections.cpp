// sections.cpp - looking up the records of a loaded image.
#include "core_class.hpp"
#include "image_state.hpp"

#include <cstring>

namespace objkit {
namespace {

template <class C>
typename C::Section *section_by_index(const typename C::Image *image, uint32_t index) noexcept
{
    const objkit_image_state *state = image->state;
    return index < state->num_sections ? section_at<C>(state, index) : nullptr;
}

template <class C>
typename C::Program *program_by_index(const typename C::Image *image, uint32_t index) noexcept
{
    const objkit_image_state *state = image->state;
    return index < state->num_programs ? programs_of<C>(state) + index : nullptr;
}

template <class C>
typename C::Section *section_by_name(const typename C::Image *image, const char *name) noexcept
{
    if (name == nullptr)
        return nullptr;
    const objkit_image_state *state = image->state;
    for (uint32_t i = 0; i < state->num_sections; ++i) {
        typename C::Section *section = section_at<C>(state, i);
        if (std::strcmp(section->name, name) == 0)
            return section;
    }
    return nullptr;
}

}  // namespace
}  // namespace objkit

// The entry points of class N.
#define OBJKIT_SECTIONS_ENTRIES(N)                                                                 \
    uint32_t objcore##N##_get_num_sections(const objcore##N##_image *image) noexcept               \
    {                                                                                              \
        return image->state->num_sections;                                                         \
    }                                                                                              \
    uint32_t objcore##N##_get_num_programs(const objcore##N##_image *image) noexcept               \
    {                                                                                              \
        return image->state->num_programs;                                                         \
    }                                                                                              \
    objcore##N##_section *objcore##N##_get_section(const objcore##N##_image *image,                \
                                                   uint32_t index) noexcept                        \
    {                                                                                              \
        return objkit::section_by_index<objkit::core_class<(N)>>(image, index);                    \
    }                                                                                              \
    objcore##N##_program *objcore##N##_get_program(const objcore##N##_image *image,                \
                                                   uint32_t index) noexcept                        \
    {                                                                                              \
        return objkit::program_by_index<objkit::core_class<(N)>>(image, index);                    \
    }                                                                                              \
    objcore##N##_section *objcore##N##_find_section(const objcore##N##_image *image,               \
                                                    const char *name) noexcept                     \
    {                                                                                              \
        return objkit::section_by_name<objkit::core_class<(N)>>(image, name);                      \
    }

extern "C" {
OBJKIT_SECTIONS_ENTRIES(32)
OBJKIT_SECTIONS_ENTRIES(64)
}  // extern "C"
