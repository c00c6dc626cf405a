# The product's version. It is written once, in the project() call of the top
# CMakeLists.txt; everything else takes it from here: the version resource of
# every program and library, the help file's About page, the installer and the
# names of the release files (scripts/release reads version.txt of the tree).
#
#   ZX_VERSION        7.1.0     what users see
#   ZX_VERSION_QUAD   7.1.0.0   the four numbers a version resource holds
#   ZX_VERSION_COMMAS 7,1,0,0   the same in the resource script's syntax
if(NOT PROJECT_VERSION_MAJOR MATCHES "^[0-9]+$" OR NOT PROJECT_VERSION_MINOR MATCHES "^[0-9]+$")
  message(FATAL_ERROR "project() must give the version as MAJOR.MINOR[.PATCH[.TWEAK]]")
endif()
set(ZX_VERSION "${PROJECT_VERSION}")
set(zx_parts "")
foreach(part MAJOR MINOR PATCH TWEAK)
  set(number "${PROJECT_VERSION_${part}}")
  if(number STREQUAL "")
    set(number 0)
  endif()
  # A version resource keeps each number in 16 bits.
  if(number GREATER 65535)
    message(FATAL_ERROR "version number ${number} does not fit a version resource (at most 65535)")
  endif()
  list(APPEND zx_parts ${number})
endforeach()
list(JOIN zx_parts "." ZX_VERSION_QUAD)
list(JOIN zx_parts "," ZX_VERSION_COMMAS)
unset(zx_parts)
set(ZX_COMPANY "Vantrel Software")
set(ZX_PRODUCT "Zapnix")
file(WRITE "${CMAKE_BINARY_DIR}/version.txt" "${ZX_VERSION}\n")

# Gives <target> (a program or a DLL) a version resource: product name,
# company, the description given, the file's own name and the product's
# version. One line per target:
#   zx_version_resource(Zapnix "Zapnix pop-up blocker")
function(zx_version_resource target description)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "SHARED_LIBRARY")
    set(ZX_FILE_TYPE VFT_DLL)
  elseif(type STREQUAL "EXECUTABLE")
    set(ZX_FILE_TYPE VFT_APP)
  else()
    message(FATAL_ERROR "zx_version_resource: ${target} is neither a program nor a DLL")
  endif()
  # Quotes in a resource script's text are doubled.
  string(REPLACE "\"" "\"\"" ZX_FILE_DESCRIPTION "${description}")
  # The file's name is known only when the build is generated.
  set(ZX_ORIGINAL_FILENAME "$<TARGET_FILE_NAME:${target}>")
  set(ZX_INTERNAL_NAME "$<TARGET_FILE_BASE_NAME:${target}>")
  configure_file("${CMAKE_SOURCE_DIR}/cmake/Version.rc.in" "${CMAKE_BINARY_DIR}/version/${target}.rc.in" @ONLY)
  set(rc "${CMAKE_BINARY_DIR}/version/${target}.rc")
  file(GENERATE OUTPUT "${rc}" INPUT "${CMAKE_BINARY_DIR}/version/${target}.rc.in")
  set_source_files_properties("${rc}" TARGET_DIRECTORY ${target} PROPERTIES GENERATED TRUE)
  target_sources(${target} PRIVATE "${rc}")
endfunction()
