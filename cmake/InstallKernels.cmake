# The kernels for C++ programs, without any host: `cmake --install` puts each kernel's static
# library and headers under the prefix, and a CMake package with which
#   find_package(mexgeom)
#   target_link_libraries(app PRIVATE mexgeom::kernels)
# links all five (or one: mexgeom::NAME_kernel). Headers: #include <mexgeom/NAME/header.h>.
# Included after every command's folder, so that MEX_COMMANDS lists them all.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

get_property(mex_commands GLOBAL PROPERTY MEX_COMMANDS)
add_library(mexgeom_kernels INTERFACE)
add_library(mexgeom::kernels ALIAS mexgeom_kernels)
set_target_properties(mexgeom_kernels PROPERTIES EXPORT_NAME kernels)
foreach(command ${mex_commands})
  target_include_directories(${command}_kernel PUBLIC
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/mexgeom/core>)
  target_link_libraries(mexgeom_kernels INTERFACE ${command}_kernel)
  # The public headers only, as each command's folder names them (PUBLIC_HEADER).
  install(TARGETS ${command}_kernel EXPORT mexgeomTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/mexgeom/${command})
endforeach()
install(TARGETS mexgeom_kernels EXPORT mexgeomTargets)
# The kernels' public headers include isa.h (the instruction sets) and image.h (the image view).
install(FILES ${MEX_CORE_DIR}/isa.h ${MEX_CORE_DIR}/image.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/mexgeom/core)

string(REPLACE ";" ", " MEX_INSTALLED_COMMANDS "${mex_commands}")
set(config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/mexgeom)
install(EXPORT mexgeomTargets NAMESPACE mexgeom:: DESTINATION ${config_dir})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/mexgeomConfig.cmake.in
  ${CMAKE_BINARY_DIR}/mexgeomConfig.cmake INSTALL_DESTINATION ${config_dir})
# 0.x: a change of the minor version may change the kernels' signatures.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/mexgeomConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/mexgeomConfig.cmake ${CMAKE_BINARY_DIR}/mexgeomConfigVersion.cmake
  DESTINATION ${config_dir})
