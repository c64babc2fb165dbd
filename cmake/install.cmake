# Installs the library, its headers, the CMake package and the pkg-config file.
include(CMakePackageConfigHelpers)

set(MOXXML_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/moxxml)
install(TARGETS moxxml EXPORT moxxmlTargets)
install(DIRECTORY include/moxxml ${PROJECT_BINARY_DIR}/include/moxxml TYPE INCLUDE)
install(EXPORT moxxmlTargets NAMESPACE moxxml:: DESTINATION ${MOXXML_CMAKE_DIR})
configure_package_config_file(cmake/moxxmlConfig.cmake.in
  ${PROJECT_BINARY_DIR}/moxxmlConfig.cmake INSTALL_DESTINATION ${MOXXML_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/moxxmlConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/moxxmlConfig.cmake ${PROJECT_BINARY_DIR}/moxxmlConfigVersion.cmake
  DESTINATION ${MOXXML_CMAKE_DIR})
# moxxml.pc names its folders by absolute paths, the only form in which pkg-config recognises
# the system folders and leaves them out of the flags. It is written while installing, for the
# prefix installed into, which cmake --install --prefix may change after configuring.
install(CODE "
  set(PROJECT_DESCRIPTION [[${PROJECT_DESCRIPTION}]])
  set(PROJECT_VERSION [[${PROJECT_VERSION}]])
  get_filename_component(CMAKE_INSTALL_FULL_LIBDIR [[${CMAKE_INSTALL_LIBDIR}]]
                         ABSOLUTE BASE_DIR \"\${CMAKE_INSTALL_PREFIX}\")
  get_filename_component(CMAKE_INSTALL_FULL_INCLUDEDIR [[${CMAKE_INSTALL_INCLUDEDIR}]]
                         ABSOLUTE BASE_DIR \"\${CMAKE_INSTALL_PREFIX}\")
  configure_file([[${PROJECT_SOURCE_DIR}/cmake/moxxml.pc.in]] [[${PROJECT_BINARY_DIR}/moxxml.pc]]
                 @ONLY)")
install(FILES ${PROJECT_BINARY_DIR}/moxxml.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
install(FILES schema/moxmsg.xsd DESTINATION ${CMAKE_INSTALL_DATADIR}/moxxml)

# Installed executables find the library relative to themselves, so that an install into any
# prefix runs without LD_LIBRARY_PATH. A distribution, whose library sits in the loader's
# path, drops the run path with -DCMAKE_SKIP_INSTALL_RPATH=ON.
file(RELATIVE_PATH MOXXML_BIN_TO_LIB ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
set_target_properties(moxmsg PROPERTIES INSTALL_RPATH "$ORIGIN/${MOXXML_BIN_TO_LIB}")
