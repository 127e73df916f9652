# What the target platform asks of every build, whichever way CMake was called:
#   32-bit x86   doubles computed in SSE2 registers (-msse2 -mfpmath=sse), never in the x87 unit,
#                whose 80-bit intermediates round differently from every other build
#   exports      mex_export_options(TARGET [EXTRA symbol...]) limits a command's exports to
#                mexFunction and mexVersion (and the EXTRA ones) in the form the platform's
#                linker takes: a GNU version script for ELF, an exported-symbols list for Apple's
#                linker, a module-definition file for Windows DLLs
#   runtime      mex_code_options(TARGET) and mex_runtime_options(TARGET [CXX]): a command needs
#                no C++ library and no libgcc_s of its host's (see below)
include(CheckCXXSourceCompiles)

# core/: the host-free building blocks of the kernels (image view, lanes, sampler, instruction
# sets, threads); host/: the MEX side (gateway checks, the version stub, the export files).
set(MEX_CORE_DIR ${CMAKE_CURRENT_LIST_DIR}/../core)
set(MEX_HOST_DIR ${CMAKE_CURRENT_LIST_DIR}/../host)

check_cxx_source_compiles("
#if !defined(__i386__) && !defined(_M_IX86)
#error not 32-bit x86
#endif
int main() {}" MEX_X86_32)
if(MEX_X86_32 AND NOT MSVC)
  add_compile_options(-msse2 -mfpmath=sse)
  set(CMAKE_REQUIRED_FLAGS "-msse2 -mfpmath=sse")
  check_cxx_source_compiles("
#if !defined(__SSE2_MATH__) || __FLT_EVAL_METHOD__ != 0
#error doubles not computed in SSE2 registers
#endif
int main() {}" MEX_X86_32_SSE2)
  unset(CMAKE_REQUIRED_FLAGS)
  if(NOT MEX_X86_32_SSE2)
    message(FATAL_ERROR "A 32-bit x86 build must compute doubles in SSE2 registers, and this "
      "compiler (${CMAKE_CXX_COMPILER}) does not with -msse2 -mfpmath=sse: its x87 results "
      "would differ from every other build's. Use GCC or clang, or build for 64 bits.")
  endif()
endif()

# The exports file for this platform's linker, generated from the symbols named (host/ holds the
# three files for the two entry points alone, for the builds without CMake).
function(mex_exports_file out)
  set(symbols ${ARGN})
  if(APPLE)
    list(TRANSFORM symbols PREPEND _)
    string(REPLACE ";" "\n" text "${symbols}")
    set(file ${CMAKE_BINARY_DIR}/exports/${out}.exp)
    file(CONFIGURE OUTPUT ${file} CONTENT "${text}\n")
  elseif(WIN32)
    string(REPLACE ";" "\n  " text "${symbols}")
    set(file ${CMAKE_BINARY_DIR}/exports/${out}.def)
    file(CONFIGURE OUTPUT ${file} CONTENT "EXPORTS\n  ${text}\n")
  else()
    string(REPLACE ";" ";\n    " text "${symbols}")
    set(file ${CMAKE_BINARY_DIR}/exports/${out}.map)
    file(CONFIGURE OUTPUT ${file}
      CONTENT "MEX {\n  global:\n    ${text};\n  local:\n    *;\n};\n")
  endif()
  set(MEX_EXPORTS_FILE ${file} PARENT_SCOPE)
endfunction()

function(mex_export_options target)
  if(ARGN)
    set(symbols mexFunction mexVersion ${ARGN})
    string(REPLACE ";" "-" stem "${symbols}")
    mex_exports_file(${stem} ${symbols})
    set(file ${MEX_EXPORTS_FILE})
  elseif(APPLE)
    set(file ${MEX_HOST_DIR}/mex.exp)
  elseif(WIN32)
    set(file ${MEX_HOST_DIR}/mex.def)
  else()
    set(file ${MEX_HOST_DIR}/mex.map)
  endif()
  if(APPLE)
    target_link_options(${target} PRIVATE LINKER:-exported_symbols_list,${file})
  elseif(WIN32)
    # GNU ld takes the module-definition file among its inputs; MSVC's linker by /DEF.
    if(MSVC)
      target_link_options(${target} PRIVATE /DEF:${file})
    else()
      target_link_options(${target} PRIVATE ${file})
    endif()
  else()
    target_link_options(${target} PRIVATE LINKER:--version-script=${file})
  endif()
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${file})
endfunction()

# What a command asks of the C++ runtime: nothing. A MEX file is loaded into a host whose C++
# library may be older than the compiler's (MATLAB puts its own first on the search path) or
# absent (the 32-bit hosts). So the commands' code is built without exceptions, which leaves it
# no personality routine to import, while the unwind tables stay, since the host's error report
# may unwind through the commands' frames; and what the compiler's support library provides
# (64-bit division on 32-bit x86, the processor check) is linked into the module, where the
# export script keeps it local. mex_code_options(TARGET) sets the first, for kernels and modules
# alike; mex_runtime_options(TARGET [CXX]) the second, for modules, CXX also linking the C++
# library itself into the module (the MATLAB builds, whose compiler flags are MATLAB's). The
# test binary_needs reads what every built module needs (tests/check_needs.sh).
function(mex_code_options target)
  if(NOT MSVC)
    target_compile_options(${target} PRIVATE -fno-exceptions -fasynchronous-unwind-tables)
  endif()
endfunction()

function(mex_runtime_options target)
  if(NOT (MSVC OR APPLE))
    target_link_options(${target} PRIVATE -static-libgcc)
    if("CXX" IN_LIST ARGN)
      target_link_options(${target} PRIVATE -static-libstdc++)
    endif()
  endif()
  if(NOT (MSVC OR APPLE OR WIN32))
    # The C++ compiler's driver names its C++ library on every link (clang's records it even
    # when nothing is called): a library is recorded only where the code calls it.
    target_link_options(${target} PRIVATE LINKER:--as-needed)
  endif()
endfunction()
