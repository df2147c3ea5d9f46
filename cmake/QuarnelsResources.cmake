# quarnels_add_resources(<target> <script.rc>)
#
# Gives <target> the resources of a resource script. On Windows the script is one of the target's
# sources and the resource compiler of the toolchain (windres) builds it. Elsewhere quarnels-rc
# (tools/rc) turns it into a C++ source at build time: the module's qp_resource_table and its
# version block, which the platform library reads back (QpFindDialogTemplate, LoadStringA,
# GetFileVersionInfoA). The script is rebuilt when it or anything it includes changes.
include_guard(GLOBAL)

set(QUARNELS_RESOURCES_PLATFORM_DIR "${CMAKE_CURRENT_LIST_DIR}/../platform")
if(WIN32)
  enable_language(RC)
endif()

function(quarnels_add_resources target script)
  get_filename_component(script "${script}" ABSOLUTE)
  get_filename_component(script_dir "${script}" DIRECTORY)
  if(WIN32)
    target_sources(${target} PRIVATE "${script}")
    # Files named by the script (icons, manifests) are found beside it.
    set_property(SOURCE "${script}" APPEND PROPERTY INCLUDE_DIRECTORIES "${script_dir}")
    return()
  endif()

  get_filename_component(script_name "${script}" NAME_WE)
  set(out_dir "${CMAKE_CURRENT_BINARY_DIR}/${target}_resources")
  set(out "${out_dir}/${script_name}_rc.cpp")
  set(depends "${script}")
  if(EXISTS "${script_dir}/resource.h")
    list(APPEND depends "${script_dir}/resource.h")
  endif()
  add_custom_command(
    OUTPUT "${out}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${out_dir}"
    COMMAND quarnels-rc --depfile "${out}.d" "${script}" "${out}"
    DEPENDS ${depends} quarnels-rc
    DEPFILE "${out}.d"
    COMMENT "Compiling resources ${script_name}.rc for ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE "${out}")
  set_property(SOURCE "${out}" APPEND PROPERTY INCLUDE_DIRECTORIES "${QUARNELS_RESOURCES_PLATFORM_DIR}")

  # A program's table is found through dlopen(NULL), so it has to be in the dynamic symbol table.
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    target_link_options(${target} PRIVATE "LINKER:--export-dynamic-symbol=qp_resource_table")
  endif()
endfunction()
