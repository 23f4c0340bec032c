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

extern "C" {

uint32_t objcore32_get_num_sections(const objcore32_image *image) noexcept
{
    return image->state->num_sections;
}

uint32_t objcore64_get_num_sections(const objcore64_image *image) noexcept
{
    return image->state->num_sections;
}

uint32_t objcore32_get_num_programs(const objcore32_image *image) noexcept
{
    return image->state->num_programs;
}

uint32_t objcore64_get_num_programs(const objcore64_image *image) noexcept
{
    return image->state->num_programs;
}

objcore32_section *objcore32_get_section(const objcore32_image *image, uint32_t index) noexcept
{
    return objkit::section_by_index<objkit::Class32>(image, index);
}

objcore64_section *objcore64_get_section(const objcore64_image *image, uint32_t index) noexcept
{
    return objkit::section_by_index<objkit::Class64>(image, index);
}

objcore32_program *objcore32_get_program(const objcore32_image *image, uint32_t index) noexcept
{
    return objkit::program_by_index<objkit::Class32>(image, index);
}

objcore64_program *objcore64_get_program(const objcore64_image *image, uint32_t index) noexcept
{
    return objkit::program_by_index<objkit::Class64>(image, index);
}

objcore32_section *objcore32_find_section(const objcore32_image *image, const char *name) noexcept
{
    return objkit::section_by_name<objkit::Class32>(image, name);
}

objcore64_section *objcore64_find_section(const objcore64_image *image, const char *name) noexcept
{
    return objkit::section_by_name<objkit::Class64>(image, name);
}

}  // extern "C"
