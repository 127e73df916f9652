# Target octave_commands builds the commands for Octave alone; target octave_package writes the
# Octave package mexgeom-VERSION.tar.gz into the build folder, which a user installs with
#   pkg install mexgeom-VERSION.tar.gz
#   pkg load mexgeom
# The tarball holds the package files of packaging/octave (DESCRIPTION, COPYING, INDEX and the
# Makefile with which pkg builds the MEX files), src/ with the sources of every command in a
# folder of its own beside src/core and src/host, inst/ with the help files and the .m helpers of
# mcode/, and doc/ with the reference pages, which pkg install puts in the package's folder.
# Included after every command's folder, so that MEX_COMMANDS lists them all.
if(NOT MKOCTFILE)
  return()
endif()

# The .m helpers over the commands and the reference pages, which their help texts point at.
file(GLOB helper_files ${CMAKE_CURRENT_LIST_DIR}/../mcode/*.m)
file(GLOB doc_pages ${CMAKE_CURRENT_LIST_DIR}/../doc/*.md)

# octave_commands: every command built in this configuration, for Octave, with its help file;
# beside them the helpers, and the reference pages in doc/ (where reference_page looks), which
# every build of the tree copies, since the Python tests compare the helpers with Octave's.
get_property(mex_commands GLOBAL PROPERTY MEX_COMMANDS)
list(TRANSFORM mex_commands APPEND _octave OUTPUT_VARIABLE octave_targets)
mex_helpers_target(octave_helpers ${CMAKE_BINARY_DIR}/octave)
add_custom_target(octave_commands)
add_dependencies(octave_commands ${octave_targets} octave_helpers)

set(package_source ${CMAKE_CURRENT_LIST_DIR}/../packaging/octave)
set(package_name mexgeom-${PROJECT_VERSION})
set(package_work ${CMAKE_BINARY_DIR}/octave-package)
set(package_stage ${package_work}/${package_name})
set(package_tarball ${CMAKE_BINARY_DIR}/${package_name}.tar.gz)

configure_file(${package_source}/DESCRIPTION.in ${package_work}/DESCRIPTION @ONLY)

# What every command is built with: the building blocks of core/ and the MEX side of host/.
file(GLOB core_files ${MEX_CORE_DIR}/*.h)
file(GLOB host_headers ${MEX_HOST_DIR}/*.h)
set(host_files ${host_headers} ${MEX_HOST_DIR}/mexversion.cpp ${MEX_HOST_DIR}/mex.map
  ${MEX_HOST_DIR}/mex.def ${MEX_HOST_DIR}/mex.exp)
set(shared "")
foreach(file ${core_files} ${host_headers})
  cmake_path(GET file PARENT_PATH parent)
  cmake_path(GET parent FILENAME folder)
  cmake_path(GET file FILENAME leaf)
  string(APPEND shared " ${folder}/${leaf}")
endforeach()

# commands.mk tells the Makefile which commands there are and what each is built from.
set(rules "COMMANDS = ${mex_commands}\n")
string(REPLACE ";" " " rules "${rules}")
set(stage_commands "")
set(inputs ${package_work}/DESCRIPTION ${package_source}/COPYING ${package_source}/INDEX
  ${package_source}/Makefile)
foreach(command ${mex_commands})
  get_target_property(folder ${command}_kernel SOURCE_DIR)
  get_target_property(kernel ${command}_kernel SOURCES)
  get_target_property(module ${command} SOURCES)
  list(FILTER module EXCLUDE REGEX "mexversion\\.cpp$")
  file(GLOB headers RELATIVE ${folder} ${folder}/*.h)
  set(sources ${module} ${kernel} ${headers})
  list(TRANSFORM sources PREPEND ${command}/ OUTPUT_VARIABLE prerequisites)
  string(REPLACE ";" " " prerequisites "${prerequisites}")
  string(APPEND rules "${command}.mex: ${prerequisites} ${shared}\n")
  list(TRANSFORM sources PREPEND ${folder}/)
  list(APPEND stage_commands
    COMMAND ${CMAKE_COMMAND} -E make_directory ${package_stage}/src/${command}
    COMMAND ${CMAKE_COMMAND} -E copy ${sources} ${package_stage}/src/${command})
  list(APPEND inputs ${sources})
  if(EXISTS ${folder}/${command}.m)
    list(APPEND stage_commands
      COMMAND ${CMAKE_COMMAND} -E copy ${folder}/${command}.m ${package_stage}/inst)
    list(APPEND inputs ${folder}/${command}.m)
  endif()
endforeach()
file(CONFIGURE OUTPUT ${package_work}/commands.mk CONTENT "${rules}")
list(APPEND inputs ${package_work}/commands.mk ${core_files} ${host_files} ${helper_files}
  ${doc_pages})

add_custom_command(OUTPUT ${package_tarball}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${package_stage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${package_stage}/src/core ${package_stage}/src/host
    ${package_stage}/inst ${package_stage}/doc
  COMMAND ${CMAKE_COMMAND} -E copy ${package_work}/DESCRIPTION ${package_source}/COPYING
    ${package_source}/INDEX ${package_stage}
  COMMAND ${CMAKE_COMMAND} -E copy ${package_source}/Makefile ${package_work}/commands.mk
    ${package_stage}/src
  COMMAND ${CMAKE_COMMAND} -E copy ${core_files} ${package_stage}/src/core
  COMMAND ${CMAKE_COMMAND} -E copy ${host_files} ${package_stage}/src/host
  COMMAND ${CMAKE_COMMAND} -E copy ${helper_files} ${package_stage}/inst
  COMMAND ${CMAKE_COMMAND} -E copy ${doc_pages} ${package_stage}/doc
  ${stage_commands}
  COMMAND ${CMAKE_COMMAND} -E tar czf ${package_tarball} ${package_name}
  WORKING_DIRECTORY ${package_work}
  DEPENDS ${inputs}
  COMMENT "Octave package ${package_name}.tar.gz"
  VERBATIM)
add_custom_target(octave_package ALL DEPENDS ${package_tarball})
