# Install rules and the package files that let other projects use the
# library: a CMake package (find_package(objlens 0.4) -> objlens::objlens,
# which carries objlens::objkit) and a pkg-config module.
#
# The installed tree is relocatable: the CMake package finds itself from its
# own directory, objlens.pc computes its prefix from ${pcfiledir}, and the
# installed programs and libobjlens find their libraries through an $ORIGIN
# run path, so the tree still works after `cmake --install --prefix` to a
# prefix other than the configured one, or after being moved.
include(CMakePackageConfigHelpers)

option(OBJLENS_INSTALL_ORIGIN_RPATH
       "Give installed programs and libobjlens an $ORIGIN run path to the library directory" ON)

set(OBJLENS_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/objlens
    CACHE STRING "Where objlensConfig.cmake is installed, relative to the prefix")
set(OBJLENS_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig
    CACHE STRING "Where objlens.pc is installed, relative to the prefix")
mark_as_advanced(OBJLENS_INSTALL_CMAKEDIR OBJLENS_INSTALL_PKGCONFIGDIR)

# In-tree users can spell the targets the way installed users do.
add_library(objlens::objlens ALIAS objlens)
add_library(objlens::objkit ALIAS objkit)

# The programs of the toolkit.
set(objlens_programs runcard objlens-dump objlens-edit)

# ---- run paths ------------------------------------------------------------

if(OBJLENS_INSTALL_ORIGIN_RPATH)
  # Relative paths, as they are seen from the installed binaries.
  file(RELATIVE_PATH objlens_bin_to_lib
       ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
  foreach(program IN LISTS objlens_programs)
    set_property(TARGET ${program} APPEND PROPERTY INSTALL_RPATH "$ORIGIN/${objlens_bin_to_lib}")
  endforeach()
  # libobjlens needs libobjkit, which is installed beside it.
  set_property(TARGET objlens APPEND PROPERTY INSTALL_RPATH "$ORIGIN")
endif()

# ---- targets --------------------------------------------------------------

# libargkit is left out on purpose: it is static and linked privately into
# runcard, so nothing installed needs it, and its header is not part of the
# library's interface.
install(TARGETS objlens objkit
  EXPORT objlensTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
          COMPONENT runtime
          NAMELINK_COMPONENT development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(TARGETS ${objlens_programs}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)

# objlens.h names the load source of objkit.h, so both are the interface;
# prginfo.h is the program-info block of libobjkit.
install(FILES ${OBJLENS_INCLUDE_DIR}/objlens.h ${OBJLENS_INCLUDE_DIR}/objkit.h
              ${OBJLENS_INCLUDE_DIR}/prginfo.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)

install(FILES ${PROJECT_SOURCE_DIR}/docs/runcard.1 ${PROJECT_SOURCE_DIR}/docs/objlens-dump.1
              ${PROJECT_SOURCE_DIR}/docs/objlens-edit.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT runtime)
# The JSON Schema of objlens-dump --json, for those who load its output.
install(FILES ${PROJECT_SOURCE_DIR}/docs/objlens-dump.schema.json
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT runtime)

# The library's manual: a page per family, and one per name that links to it.
include(${CMAKE_CURRENT_LIST_DIR}/man3.cmake)

# ---- CMake package --------------------------------------------------------

install(EXPORT objlensTargets
  NAMESPACE objlens::
  DESTINATION ${OBJLENS_INSTALL_CMAKEDIR}
  COMPONENT development)

configure_package_config_file(
  ${CMAKE_CURRENT_LIST_DIR}/objlensConfig.cmake.in
  ${PROJECT_BINARY_DIR}/objlensConfig.cmake
  INSTALL_DESTINATION ${OBJLENS_INSTALL_CMAKEDIR})

# The package promises what the soname promises: libobjlens.so.0 (symbol
# version node OBJLENS_0) replaces any earlier 0.x release.  So 0.4.5
# satisfies a request for any 0.x up to itself (0.3, 0.4, 0.4.5) and refuses
# a later one (0.4.6, 0.5) and any 1.x, whose soname will be .so.1.
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/objlensConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)

install(FILES
  ${PROJECT_BINARY_DIR}/objlensConfig.cmake
  ${PROJECT_BINARY_DIR}/objlensConfigVersion.cmake
  DESTINATION ${OBJLENS_INSTALL_CMAKEDIR}
  COMPONENT development)

# ---- pkg-config module ----------------------------------------------------

# The prefix is found from the .pc file's own place, so it holds for whatever
# prefix `cmake --install` is given.  Absolute install directories cannot be
# made relative and are written as they are.
if(IS_ABSOLUTE "${OBJLENS_INSTALL_PKGCONFIGDIR}")
  set(OBJLENS_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH objlens_pc_to_prefix
       ${CMAKE_INSTALL_PREFIX}/${OBJLENS_INSTALL_PKGCONFIGDIR} ${CMAKE_INSTALL_PREFIX})
  string(REGEX REPLACE "/$" "" objlens_pc_to_prefix "${objlens_pc_to_prefix}")
  set(OBJLENS_PC_PREFIX "\${pcfiledir}/${objlens_pc_to_prefix}")
endif()
foreach(dir IN ITEMS LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(OBJLENS_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(OBJLENS_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/objlens.pc.in ${PROJECT_BINARY_DIR}/objlens.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/objlens.pc
  DESTINATION ${OBJLENS_INSTALL_PKGCONFIGDIR} COMPONENT development)
