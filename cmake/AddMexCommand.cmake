# add_mex_command(NAME GATEWAY <gateway.cpp> KERNEL <kernel sources...>)
#
# Called from the command's own folder, which holds the gateway, the kernel and its header, and
# the help file NAME.m (help text, %!test and %!demo blocks; the MEX file takes precedence when
# the command is called, and Octave and MATLAB show the help of the .m file beside it).
# Builds one command for every host this configuration serves:
#   NAME_kernel   static library of the kernel (host-free; for tests, benchmarks and C++ users)
#   NAME          the command for the test host (mex/NAME.so, or mex/NAME.mexglx when 32-bit)
#   NAME_octave   the command for GNU Octave (octave/NAME.mex, with octave/NAME.m beside it),
#                 when mkoctfile is found
#   NAME_matlab   the command for MATLAB (matlab/NAME.mexa64 and matlab/NAME.m), when FindMatlab
#                 finds MATLAB
# Every command exports exactly mexFunction and mexVersion under the version node MEX.

set(MEX_HOST_DIR ${CMAKE_CURRENT_LIST_DIR}/../host)
set(MEX_EXPORTS ${MEX_HOST_DIR}/mex.map)

option(MEX_OCTAVE "Build the commands for GNU Octave when mkoctfile is found" ON)
if(MEX_OCTAVE AND NOT MEX_SANITIZE AND NOT MEX_SANITIZE_THREAD AND MEX_BITS EQUAL 64)
  find_program(MKOCTFILE mkoctfile)
endif()
if(MKOCTFILE)
  # The flags mkoctfile itself uses for MEX files.
  foreach(var CPPFLAGS ALL_CXXFLAGS DL_LDFLAGS OCT_LINK_OPTS)
    execute_process(COMMAND ${MKOCTFILE} -p ${var} OUTPUT_VARIABLE value
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    separate_arguments(OCTAVE_${var} UNIX_COMMAND "${value}")
  endforeach()
  find_program(OCTAVE_EXECUTABLE octave-cli NAMES octave-cli octave)
  message(STATUS "Octave MEX files: ${MKOCTFILE}")
endif()

option(MEX_MATLAB "Build the commands for MATLAB when it is installed" ON)
if(MEX_MATLAB AND NOT MEX_SANITIZE AND NOT MEX_SANITIZE_THREAD AND MEX_BITS EQUAL 64)
  # Matlab_ROOT_DIR selects an installation; the mx and mex libraries are always looked for.
  find_package(Matlab QUIET)
endif()

function(add_mex_command name)
  cmake_parse_arguments(ARG "" "GATEWAY" "KERNEL" ${ARGN})

  add_library(${name}_kernel STATIC ${ARG_KERNEL})
  target_include_directories(${name}_kernel PUBLIC
    $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}>)

  set(exports -Wl,--version-script=${MEX_EXPORTS})
  if(NOT (MEX_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang"))
    # clang leaves the sanitizer runtime to the executable, so its modules have open references.
    list(APPEND exports -Wl,--no-undefined)
  endif()

  add_library(${name} MODULE ${ARG_GATEWAY} ${MEX_HOST_DIR}/mexversion.cpp)
  target_include_directories(${name} PRIVATE ${MEX_HOST_DIR})
  target_link_libraries(${name} PRIVATE ${name}_kernel mx mex mat m)
  target_link_options(${name} PRIVATE ${exports} -Wl,-soname,${name}${MEX_SUFFIX})
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ${MEX_SUFFIX}
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/mex LINK_DEPENDS ${MEX_EXPORTS})
  set_property(GLOBAL APPEND PROPERTY MEX_COMMANDS ${name})

  set(help ${CMAKE_CURRENT_SOURCE_DIR}/${name}.m)
  if(NOT EXISTS ${help})
    set(help "")
  endif()

  if(MKOCTFILE)
    add_library(${name}_octave MODULE ${ARG_GATEWAY} ${MEX_HOST_DIR}/mexversion.cpp ${ARG_KERNEL})
    target_include_directories(${name}_octave PRIVATE ${MEX_HOST_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    target_compile_options(${name}_octave PRIVATE ${OCTAVE_CPPFLAGS} ${OCTAVE_ALL_CXXFLAGS}
      -DMEX_DEBUG)
    target_link_options(${name}_octave PRIVATE ${OCTAVE_ALL_CXXFLAGS} ${OCTAVE_DL_LDFLAGS}
      ${OCTAVE_OCT_LINK_OPTS} -Wl,--version-script=${MEX_EXPORTS})
    set_target_properties(${name}_octave PROPERTIES OUTPUT_NAME ${name} PREFIX "" SUFFIX .mex
      LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/octave LINK_DEPENDS ${MEX_EXPORTS})
    if(help)
      configure_file(${help} ${CMAKE_BINARY_DIR}/octave/${name}.m COPYONLY)
    endif()
  endif()

  if(Matlab_FOUND)
    # R2017b: the separate-complex API, whose mxGetPr gives the real part of a complex array as
    # the gateways expect. matlab_add_mex exports mexFunction through MATLAB's own version script.
    set(documentation "")
    if(help)
      # matlab_add_mex copies the help file beside the MEX file and lists it among the sources,
      # where CMake would take a .m file for Objective-C and compile it.
      set(documentation DOCUMENTATION ${help})
      set_source_files_properties(${help} PROPERTIES HEADER_FILE_ONLY ON)
    endif()
    matlab_add_mex(NAME ${name}_matlab MODULE OUTPUT_NAME ${name} R2017b
      SRC ${ARG_GATEWAY} ${ARG_KERNEL} ${MEX_HOST_DIR}/mexversion.cpp ${documentation})
    target_include_directories(${name}_matlab PRIVATE ${MEX_HOST_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    # MATLAB's headers and version file are not ours to keep free of warnings.
    target_compile_options(${name}_matlab PRIVATE -Wno-error)
    set_target_properties(${name}_matlab PROPERTIES
      LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/matlab)
  endif()
endfunction()
