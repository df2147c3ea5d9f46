# cJSON for the Windows build. Its source is never kept in the project: it is taken from Debian's
# source package (apt-get source, which needs a deb-src entry; scripts/install-windows-deps.sh adds
# one) into the build folder when the build is configured, and built with the cross compiler as a
# static library. QUARNELS_CJSON_SOURCE_DIR names an unpacked cJSON source tree to use instead.
#
# Defines the target QuarnelsCJson, whose users include <cjson/cJSON.h>.
include_guard(GLOBAL)

set(QUARNELS_CJSON_SOURCE_DIR "" CACHE PATH "An unpacked cJSON source tree (empty: fetch Debian's source package)")

function(quarnels_find_cjson_source out work)
  file(GLOB found LIST_DIRECTORIES false "${work}/*/cJSON.c")
  if(found)
    list(GET found 0 first)
    get_filename_component(dir "${first}" DIRECTORY)
    set(${out} "${dir}" PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

set(cjson_dir "${QUARNELS_CJSON_SOURCE_DIR}")
if(NOT cjson_dir)
  set(work "${CMAKE_BINARY_DIR}/_deps/cjson-source")
  quarnels_find_cjson_source(cjson_dir "${work}")
  if(NOT cjson_dir)
    file(MAKE_DIRECTORY "${work}")
    message(STATUS "Fetching cJSON's source from Debian's source package")
    # Unpacked with Debian's patches applied (dpkg-source, from dpkg-dev).
    execute_process(COMMAND apt-get source cjson
      WORKING_DIRECTORY "${work}" RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
    quarnels_find_cjson_source(cjson_dir "${work}")
    if(NOT cjson_dir)
      # Without dpkg-source the files are downloaded but not unpacked: take the upstream tarball.
      file(GLOB tarballs "${work}/cjson_*.orig.tar.*")
      if(tarballs)
        list(GET tarballs 0 tarball)
        execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf "${tarball}" WORKING_DIRECTORY "${work}")
        quarnels_find_cjson_source(cjson_dir "${work}")
      endif()
    endif()
    if(NOT cjson_dir)
      message(FATAL_ERROR "cJSON's source could not be had from Debian's source package (${result}):\n${errors}\n"
                          "Run scripts/install-windows-deps.sh (it enables the deb-src entry), or set "
                          "QUARNELS_CJSON_SOURCE_DIR.")
    endif()
  endif()
endif()
message(STATUS "cJSON source: ${cjson_dir}")

# The library includes <cjson/cJSON.h>, as the Linux package installs it.
set(cjson_include "${CMAKE_BINARY_DIR}/_deps/cjson-include")
configure_file("${cjson_dir}/cJSON.h" "${cjson_include}/cjson/cJSON.h" COPYONLY)

add_library(QuarnelsCJson STATIC "${cjson_dir}/cJSON.c")
target_include_directories(QuarnelsCJson PUBLIC "${cjson_include}")
# Linked into the library, never exported from it: without this cJSON marks its functions dllexport.
target_compile_definitions(QuarnelsCJson PUBLIC CJSON_HIDE_SYMBOLS)
# Someone else's code: its warnings are not ours to fix.
target_compile_options(QuarnelsCJson PRIVATE -w)
