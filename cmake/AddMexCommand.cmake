# add_mex_command(NAME GATEWAY <gateway.cpp> KERNEL <kernel sources...>)
#
# Called from the command's own folder, which holds the gateway, the kernel and its header, and
# the help file NAME.m (help text, %!test and %!demo blocks; the MEX file takes precedence when
# the command is called, and Octave and MATLAB show the help of the .m file beside it).
# Builds one command for every host this configuration serves:
#   NAME_kernel   static library of the kernel (host-free; for tests, benchmarks, the Python
#                 module and C++ users)
#   NAME_mex_kernel  the same for the commands: double and uint8 images alone
#   NAME          the command for the test host (mex/NAME.so, or mex/NAME.mexglx when 32-bit)
#   NAME_octave   the command for GNU Octave (octave/NAME.mex, with octave/NAME.m beside it),
#                 when mkoctfile is found; the target octave_commands builds all of them
#   NAME_matlab   the command for MATLAB (matlab/NAME.mexa64 and matlab/NAME.m), when FindMatlab
#                 finds MATLAB; with it the helpers of mcode/ and the reference pages (doc/)
# Every command exports exactly mexFunction and mexVersion (under the version node MEX in ELF
# files); the MATLAB build also keeps the API version function that MATLAB's loader reads. No
# command needs the C++ library or the compiler's support library at run time (Platform.cmake).

include(${CMAKE_CURRENT_LIST_DIR}/Platform.cmake)

option(MEX_OCTAVE "Build the commands for GNU Octave when mkoctfile is found" ON)
if(MEX_OCTAVE AND NOT MEX_SANITIZE AND NOT MEX_SANITIZE_THREAD AND MEX_BITS EQUAL 64
   AND NOT CMAKE_CROSSCOMPILING)
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
if(MEX_MATLAB AND NOT MEX_SANITIZE AND NOT MEX_SANITIZE_THREAD AND MEX_BITS EQUAL 64
   AND NOT CMAKE_CROSSCOMPILING)
  # Matlab_ROOT_DIR selects an installation; the mx and mex libraries are always looked for.
  find_package(Matlab QUIET)
endif()

# mex_helpers_target(TARGET FOLDER): target TARGET copies the .m helpers of mcode/ into FOLDER and
# the reference pages into FOLDER/doc, where reference_page and every help text look for them.
function(mex_helpers_target target folder)
  file(GLOB helper_files ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../mcode/*.m)
  file(GLOB doc_pages ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../doc/*.md)
  set(stamp ${CMAKE_BINARY_DIR}/${target}.stamp)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}/doc
    COMMAND ${CMAKE_COMMAND} -E copy ${helper_files} ${folder}
    COMMAND ${CMAKE_COMMAND} -E copy ${doc_pages} ${folder}/doc
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${helper_files} ${doc_pages}
    COMMENT "Helpers and reference pages in ${folder}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${stamp})
endfunction()
if(Matlab_FOUND)
  mex_helpers_target(matlab_helpers ${CMAKE_BINARY_DIR}/matlab)
endif()

function(add_mex_command name)
  cmake_parse_arguments(ARG "" "GATEWAY" "KERNEL" ${ARGN})

  add_library(${name}_kernel STATIC ${ARG_KERNEL})
  target_include_directories(${name}_kernel PUBLIC
    $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}> $<BUILD_INTERFACE:${MEX_CORE_DIR}>)
  mex_code_options(${name}_kernel)

  # The commands take double and uint8 images alone, and every build of a command compiles its
  # kernel for those two element types only (MEXGEOM_MEX_ELEMENTS, see core/image.h); NAME_kernel
  # has them all.
  add_library(${name}_mex_kernel STATIC ${ARG_KERNEL})
  target_include_directories(${name}_mex_kernel PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${MEX_CORE_DIR})
  target_compile_definitions(${name}_mex_kernel PUBLIC MEXGEOM_MEX_ELEMENTS)
  mex_code_options(${name}_mex_kernel)

  add_library(${name} MODULE ${ARG_GATEWAY} ${MEX_HOST_DIR}/mexversion.cpp)
  target_include_directories(${name} PRIVATE ${MEX_HOST_DIR})
  target_link_libraries(${name} PRIVATE ${name}_mex_kernel mx mex mat)
  mex_export_options(${name})
  mex_code_options(${name})
  mex_runtime_options(${name})
  if(NOT (APPLE OR WIN32))
    target_link_libraries(${name} PRIVATE m)
    target_link_options(${name} PRIVATE -Wl,-soname,${name}${MEX_SUFFIX})
    if(NOT (MEX_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang"))
      # clang leaves the sanitizer runtime to the executable, so its modules have open references.
      target_link_options(${name} PRIVATE -Wl,--no-undefined)
    endif()
  endif()
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ${MEX_SUFFIX}
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/mex)
  set_property(GLOBAL APPEND PROPERTY MEX_COMMANDS ${name})

  set(help ${CMAKE_CURRENT_SOURCE_DIR}/${name}.m)
  if(NOT EXISTS ${help})
    set(help "")
  endif()

  if(MKOCTFILE)
    add_library(${name}_octave MODULE ${ARG_GATEWAY} ${MEX_HOST_DIR}/mexversion.cpp ${ARG_KERNEL})
    target_include_directories(${name}_octave PRIVATE ${MEX_HOST_DIR} ${MEX_CORE_DIR}
      ${CMAKE_CURRENT_SOURCE_DIR})
    target_compile_options(${name}_octave PRIVATE ${OCTAVE_CPPFLAGS} ${OCTAVE_ALL_CXXFLAGS}
      -DMEX_DEBUG)
    target_compile_definitions(${name}_octave PRIVATE MEXGEOM_MEX_ELEMENTS)
    target_link_options(${name}_octave PRIVATE ${OCTAVE_ALL_CXXFLAGS} ${OCTAVE_DL_LDFLAGS}
      ${OCTAVE_OCT_LINK_OPTS})
    mex_export_options(${name}_octave)
    mex_code_options(${name}_octave)
    mex_runtime_options(${name}_octave)
    set_target_properties(${name}_octave PROPERTIES OUTPUT_NAME ${name} PREFIX "" SUFFIX .mex
      LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/octave)
    if(help)
      # The help file goes beside the MEX file once the MEX file is linked, never before: Octave
      # takes a lone NAME.m for a script and answers a call with "invalid call to script". A
      # changed help file relinks the command, which copies it again.
      add_custom_command(TARGET ${name}_octave POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${help} ${CMAKE_BINARY_DIR}/octave/${name}.m
        VERBATIM)
      set_property(TARGET ${name}_octave APPEND PROPERTY LINK_DEPENDS ${help})
    endif()
  endif()

  if(Matlab_FOUND)
    # R2017b: the separate-complex API, whose mxGetPr gives the real part of a complex array as
    # the gateways expect.
    set(documentation "")
    if(help)
      # matlab_add_mex copies the help file beside the MEX file and lists it among the sources,
      # where CMake would take a .m file for Objective-C and compile it.
      set(documentation DOCUMENTATION ${help})
      set_source_files_properties(${help} PROPERTIES HEADER_FILE_ONLY ON)
    endif()
    matlab_add_mex(NAME ${name}_matlab MODULE OUTPUT_NAME ${name} R2017b
      SRC ${ARG_GATEWAY} ${ARG_KERNEL} ${MEX_HOST_DIR}/mexversion.cpp ${documentation})
    target_include_directories(${name}_matlab PRIVATE ${MEX_HOST_DIR} ${MEX_CORE_DIR}
      ${CMAKE_CURRENT_SOURCE_DIR})
    target_compile_definitions(${name}_matlab PRIVATE MEXGEOM_MEX_ELEMENTS)
    # MATLAB's headers and version file are not ours to keep free of warnings.
    target_compile_options(${name}_matlab PRIVATE -Wno-error)
    # MATLAB's C++ library is often older than the compiler's: the module carries its own.
    mex_code_options(${name}_matlab)
    mex_runtime_options(${name}_matlab CXX)
    set_target_properties(${name}_matlab PROPERTIES
      LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/matlab)
    add_dependencies(${name}_matlab matlab_helpers)
    # matlab_add_mex hands the linker MATLAB's own export list, which leaves out mexVersion: ours
    # takes its place, with the API version function of MATLAB's version file, which MATLAB reads.
    get_target_property(flags ${name}_matlab LINK_FLAGS)
    if(flags)
      string(REGEX REPLACE "-Wl,(--version-script|-exported_symbols_list),[^ ]*" "" flags
        "${flags}")
      set_target_properties(${name}_matlab PROPERTIES LINK_FLAGS "${flags}")
    endif()
    if(MSVC)
      # /EXPORT flags of matlab_add_mex: mexVersion is added beside them.
      target_link_options(${name}_matlab PRIVATE /EXPORT:mexVersion)
    else()
      mex_export_options(${name}_matlab mexfilerequiredapiversion)
    endif()
  endif()
endfunction()
