# Resource scripts and the files they bring in.
#
# windres writes no dependency file, so on its own a program that compiles a
# resource script is not rebuilt when a picture, the form description, the
# string table or a header the script #includes changes: an incremental build
# would keep the old bytes where a clean one has the new. zx_add_resources()
# adds the script to a target and makes its object depend on every file the
# script names, directly or through its #includes. The scan runs at configure
# time; every scanned script is a configure dependency, so naming a new file in
# any of them scans again.

# Collects into <files_var> every existing file that <rc> or a script it
# #includes names in double quotes (pictures, icons, manifests, RCDATA, the
# included scripts themselves) or in angle brackets when it lies beside the
# including script; into <scripts_var> the scripts read. A quoted text that
# happens to name a file adds a needless dependency at worst.
function(zx_scan_resource_script rc files_var scripts_var)
  get_filename_component(top "${rc}" DIRECTORY)
  set(queue "${rc}")
  set(scripts "")
  set(files "")
  while(queue)
    list(POP_FRONT queue script)
    if(script IN_LIST scripts)
      continue()
    endif()
    list(APPEND scripts "${script}")
    get_filename_component(dir "${script}" DIRECTORY)
    file(STRINGS "${script}" lines)
    foreach(line IN LISTS lines)
      set(names "")
      string(REGEX MATCHALL "\"[^\"]+\"" quoted "${line}")
      foreach(q IN LISTS quoted)
        string(REGEX REPLACE "^\"(.*)\"$" "\\1" q "${q}")
        list(APPEND names "${q}")
      endforeach()
      set(include_line FALSE)
      if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"]")
        set(include_line TRUE)
        list(APPEND names "${CMAKE_MATCH_1}")
      endif()
      foreach(name IN LISTS names)
        # Both "a/b.bmp" and "a\\b.bmp" name the same file for windres.
        string(REPLACE "\\\\" "/" name "${name}")
        string(REPLACE "\\" "/" name "${name}")
        if(name STREQUAL "" OR name MATCHES "[*?<>|]")
          continue()
        endif()
        set(found "")
        foreach(base "${dir}" "${top}")
          if(EXISTS "${base}/${name}" AND NOT IS_DIRECTORY "${base}/${name}")
            get_filename_component(found "${base}/${name}" ABSOLUTE)
            break()
          endif()
        endforeach()
        if(NOT found OR found IN_LIST files)
          continue()
        endif()
        list(APPEND files "${found}")
        if(include_line)
          list(APPEND queue "${found}")
        endif()
      endforeach()
    endforeach()
  endwhile()
  set(${files_var} "${files}" PARENT_SCOPE)
  set(${scripts_var} "${scripts}" PARENT_SCOPE)
endfunction()

# Adds the resource script <rc> (relative to the calling folder or absolute)
# to <target> and declares the files it brings in as dependencies of its
# object in the target's own folder, wherever the target is created. The
# target is listed, with the file it builds, in resource-programs.txt of the
# build tree, for the incremental-build check.
function(zx_add_resources target rc)
  get_filename_component(rc "${rc}" ABSOLUTE)
  zx_scan_resource_script("${rc}" files scripts)
  target_sources(${target} PRIVATE "${rc}")
  set_property(SOURCE "${rc}" TARGET_DIRECTORY ${target} PROPERTY OBJECT_DEPENDS ${files})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${scripts})
  set_property(GLOBAL APPEND PROPERTY ZX_RESOURCE_TARGETS ${target})
  set_property(GLOBAL PROPERTY ZX_RESOURCE_SCRIPT_${target} "${rc}")
  get_property(deferred GLOBAL PROPERTY ZX_RESOURCE_LIST_DEFERRED)
  if(NOT deferred)
    set_property(GLOBAL PROPERTY ZX_RESOURCE_LIST_DEFERRED TRUE)
    cmake_language(DEFER DIRECTORY "${CMAKE_SOURCE_DIR}" CALL zx_write_resource_programs)
  endif()
endfunction()

# One line per target that compiles a resource script: its name, a tab, the
# program or library it builds, a tab, the script.
function(zx_write_resource_programs)
  get_property(targets GLOBAL PROPERTY ZX_RESOURCE_TARGETS)
  set(content "")
  foreach(target IN LISTS targets)
    get_property(script GLOBAL PROPERTY ZX_RESOURCE_SCRIPT_${target})
    string(APPEND content "${target}\t$<TARGET_FILE:${target}>\t${script}\n")
  endforeach()
  file(GENERATE OUTPUT "${CMAKE_BINARY_DIR}/resource-programs.txt" CONTENT "${content}")
endfunction()
