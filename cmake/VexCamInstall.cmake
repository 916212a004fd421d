# Installation into any prefix and the Debian packages built from it.
#
# Components: runtime (the library, its loadable modules, the udev rule),
# dev (headers, pkg-config file, CMake package) and tool (vexcam and its
# manual page). The library finds its modules in the "vexcam" folder beside
# itself, so the tree can be moved as a whole.
include(CMakePackageConfigHelpers)

set(VEXCAM_MODULE_DIR ${CMAKE_INSTALL_LIBDIR}/vexcam)
set(VEXCAM_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/VexCam)

# The udev rules folder: under the prefix; when installing to /usr, the one
# udev names (kept relative when it lies under /usr, so packages stay
# relocatable), else lib/udev/rules.d.
set(_udev_rules lib/udev/rules.d)
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  pkg_get_variable(_udevdir udev udevdir)
  if(_udevdir MATCHES "^/usr/(.+)$")
    set(_udev_rules ${CMAKE_MATCH_1}/rules.d)
  elseif(_udevdir)
    set(_udev_rules ${_udevdir}/rules.d)
  endif()
endif()
set(VEXCAM_UDEV_RULES_DIR ${_udev_rules} CACHE STRING "Where the udev rule is installed (relative: under the prefix)")

install(TARGETS ${VEXCAM_SDK} EXPORT VexCamTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev)
install(DIRECTORY include/vexcam DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev
  PATTERN "*.in" EXCLUDE)
install(FILES ${CMAKE_BINARY_DIR}/include/vexcam/VexCamVersion.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vexcam COMPONENT dev)
foreach(_module VexCamPreview VexCamDialogs)
  if(TARGET ${_module})
    install(TARGETS ${_module} LIBRARY DESTINATION ${VEXCAM_MODULE_DIR} COMPONENT runtime)
  endif()
endforeach()
install(FILES udev/60-vexcam.rules DESTINATION ${VEXCAM_UDEV_RULES_DIR} COMPONENT runtime)

# The GStreamer plugin: where this machine's GStreamer looks, relative to its
# prefix (lib/<multiarch>/gstreamer-1.0 on Debian).
if(TARGET gstvexcam)
  pkg_get_variable(_gst_plugins gstreamer-1.0 pluginsdir)
  pkg_get_variable(_gst_prefix gstreamer-1.0 prefix)
  set(_gst_dir ${CMAKE_INSTALL_LIBDIR}/gstreamer-1.0)
  if(_gst_plugins AND _gst_prefix)
    file(RELATIVE_PATH _gst_dir ${_gst_prefix} ${_gst_plugins})
  endif()
  set(VEXCAM_GST_PLUGIN_DIR ${_gst_dir} CACHE STRING "Where the GStreamer plugin is installed (relative: under the prefix)")
  file(RELATIVE_PATH _gst_to_lib /${VEXCAM_GST_PLUGIN_DIR} /${CMAKE_INSTALL_LIBDIR})
  set_target_properties(gstvexcam PROPERTIES INSTALL_RPATH "$ORIGIN/${_gst_to_lib}")
  install(TARGETS gstvexcam LIBRARY DESTINATION ${VEXCAM_GST_PLUGIN_DIR} COMPONENT gstreamer)
  list(APPEND CPACK_COMPONENTS_ALL gstreamer)
endif()

install(TARGETS vexcam RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
install(FILES ${CMAKE_BINARY_DIR}/docs/vexcam.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)

# pkg-config: the prefix is found from the file's own place.
file(RELATIVE_PATH VEXCAM_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" VEXCAM_PC_TO_PREFIX "${VEXCAM_PC_TO_PREFIX}")
configure_file(cmake/vexcam.pc.in ${CMAKE_CURRENT_BINARY_DIR}/vexcam.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/vexcam.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

# CMake: find_package(VexCam) gives VexCam::VexCam.
install(EXPORT VexCamTargets NAMESPACE VexCam:: FILE VexCamTargets.cmake
  DESTINATION ${VEXCAM_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(cmake/VexCamConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/VexCamConfig.cmake
  INSTALL_DESTINATION ${VEXCAM_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/VexCamConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/VexCamConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/VexCamConfigVersion.cmake
  DESTINATION ${VEXCAM_CMAKE_DIR} COMPONENT dev)

# Debian packages: cpack -G DEB in the build folder.
set(CPACK_PACKAGE_NAME vexcam)
set(CPACK_PACKAGE_VENDOR "Quorin")
set(CPACK_PACKAGE_CONTACT "VexCam SDK maintainers <vexcam-sdk@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "VexCam USB3 camera SDK")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)  # debug information stays in the build tree
set(CPACK_DEB_COMPONENT_INSTALL ON)
list(PREPEND CPACK_COMPONENTS_ALL runtime dev tool)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# The tool's own library comes from the runtime package (declared below).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_CURRENT_BINARY_DIR})
set(_runtime libvexcam${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${_runtime})
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "VexCam USB3 camera SDK: the shared library, its preview module and the udev rule")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS udev)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libvexcam-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_DESCRIPTION "VexCam USB3 camera SDK: headers, pkg-config file and CMake package")
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${_runtime} (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME vexcam-tools)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOL_DESCRIPTION "VexCam USB3 camera SDK: the vexcam command-line tool")
set(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS "${_runtime} (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_GSTREAMER_PACKAGE_NAME gstreamer1.0-vexcam)
set(CPACK_DEBIAN_GSTREAMER_PACKAGE_SECTION video)
set(CPACK_DEBIAN_GSTREAMER_DESCRIPTION "VexCam USB3 camera SDK: the GStreamer source element vexcamsrc")
set(CPACK_DEBIAN_GSTREAMER_PACKAGE_DEPENDS "${_runtime} (= ${PROJECT_VERSION})")
# The rule takes effect for cameras already plugged in.
configure_file(cmake/deb/postinst.in ${CMAKE_CURRENT_BINARY_DIR}/deb/postinst @ONLY)
configure_file(cmake/deb/postrm.in ${CMAKE_CURRENT_BINARY_DIR}/deb/postrm @ONLY)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_BINARY_DIR}/deb/postinst ${CMAKE_CURRENT_BINARY_DIR}/deb/postrm)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
