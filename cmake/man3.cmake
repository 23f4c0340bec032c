# The library's manual, section 3.
#
# docs/man3 holds one page per family of functions (objlens_section.3,
# objlens_sym.3, ...) and the overview objlens.3.  Every other name that a
# page lists in its NAME section gets a page of its own holding only
# `.so man3/FAMILY.3`, so that `man objlens_sym_get_value` finds the symbol
# page.  Those link pages are made here, when the build is configured, from
# the NAME sections; a changed page configures the build again.  The family
# pages are copied with @PROJECT_VERSION@ filled in.
#
# The pages, family and link alike, end up in one folder of the build tree,
# laid out as an installed man3 folder, whose parent is the target
# objlens_man3's property OBJLENS_MAN_DIR (for the tests), and are installed
# under ${CMAKE_INSTALL_MANDIR}/man3.

set(objlens_man_dir ${PROJECT_BINARY_DIR}/man)
file(GLOB objlens_man3_families CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/man3/*.3)

# The names a page's NAME section lists before its "\-".
function(objlens_man3_names page out)
  file(READ ${page} text)
  string(REGEX MATCH "\n\\.SH NAME\n[^.\n][^\n]*(\n[^.\n][^\n]*)*" section "${text}")
  string(FIND "${section}" "\\-" dash)
  if(section STREQUAL "" OR dash EQUAL -1)
    message(FATAL_ERROR "${page}: no NAME section of the form `name, name \\- what they do`")
  endif()
  string(SUBSTRING "${section}" 0 ${dash} section)
  string(REPLACE "\n.SH NAME\n" "" section "${section}")
  string(REGEX REPLACE "[ \t\n]*,[ \t\n]*" ";" names "${section}")
  string(STRIP "${names}" names)
  foreach(name IN LISTS names)
    if(NOT name MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
      message(FATAL_ERROR "${page}: `${name}` in NAME is not a C name")
    endif()
  endforeach()
  set(${out} ${names} PARENT_SCOPE)
endfunction()

set(objlens_man3_pages)
set(objlens_man3_seen)
foreach(page IN LISTS objlens_man3_families)
  get_filename_component(family ${page} NAME)
  string(REGEX REPLACE "\\.3$" "" family "${family}")
  configure_file(${page} ${objlens_man_dir}/man3/${family}.3 @ONLY)
  list(APPEND objlens_man3_pages ${objlens_man_dir}/man3/${family}.3)
  objlens_man3_names(${page} names)
  foreach(name IN LISTS names)
    if(name IN_LIST objlens_man3_seen)
      message(FATAL_ERROR "${page}: ${name} is named by two pages")
    endif()
    list(APPEND objlens_man3_seen ${name})
    if(NOT name STREQUAL family)
      file(CONFIGURE OUTPUT ${objlens_man_dir}/man3/${name}.3 CONTENT ".so man3/${family}.3\n")
      list(APPEND objlens_man3_pages ${objlens_man_dir}/man3/${name}.3)
    endif()
  endforeach()
endforeach()

# A page no longer named anywhere goes, so the folder holds what is installed.
file(GLOB objlens_man3_present ${objlens_man_dir}/man3/*.3)
foreach(page IN LISTS objlens_man3_present)
  if(NOT page IN_LIST objlens_man3_pages)
    file(REMOVE ${page})
  endif()
endforeach()

add_custom_target(objlens_man3 SOURCES ${objlens_man3_families})
set_target_properties(objlens_man3 PROPERTIES OBJLENS_MAN_DIR ${objlens_man_dir})

install(FILES ${objlens_man3_pages}
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man3 COMPONENT development)
