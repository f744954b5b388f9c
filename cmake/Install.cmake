# What `cmake --install` puts under the prefix, and the Debian package made from it (cpack -G DEB):
#   lib/metronom/metronom, lib/metronom/Sounds/   the program with its Sounds folder beside it
#   bin/metronom                                   a relative link to it
#   share/applications, share/icons/hicolor, share/metainfo   desktop entry, icons, AppStream data
set(METRONOM_APP_ID org.metronom.Metronom)
set(METRONOM_HOMEPAGE "https://metronom.example.org" CACHE STRING "The project's home page (AppStream data)")
set(METRONOM_LICENSE "LicenseRef-proprietary" CACHE STRING "The program's licence as an SPDX expression (AppStream data)")
set(METRONOM_MAINTAINER "Metronom <metronom@example.org>" CACHE STRING "Maintainer of the Debian package")

# The icons, painted from the window's artwork at build time.
find_package(Qt6 REQUIRED COMPONENTS Svg)
add_executable(icongen tools/icongen.cpp)
target_link_libraries(icongen PRIVATE metronom_ui Qt6::Gui Qt6::Svg)
set(METRONOM_ICON_SIZES 16 22 24 32 48 64 128 256)
set(icon_files ${CMAKE_BINARY_DIR}/icons/hicolor/scalable/apps/${METRONOM_APP_ID}.svg)
foreach(size ${METRONOM_ICON_SIZES})
  list(APPEND icon_files ${CMAKE_BINARY_DIR}/icons/hicolor/${size}x${size}/apps/${METRONOM_APP_ID}.png)
endforeach()
add_custom_command(OUTPUT ${icon_files}
  COMMAND icongen ${CMAKE_BINARY_DIR}/icons ${METRONOM_APP_ID}
  DEPENDS icongen
  COMMENT "Painting the program's icons")
add_custom_target(metronom_icons ALL DEPENDS ${icon_files})

configure_file(data/${METRONOM_APP_ID}.metainfo.xml.in ${CMAKE_BINARY_DIR}/data/${METRONOM_APP_ID}.metainfo.xml @ONLY)

install(TARGETS metronom RUNTIME DESTINATION lib/metronom)
install(DIRECTORY sounds/ DESTINATION lib/metronom/Sounds)
install(CODE "
  set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
  file(MAKE_DIRECTORY \"\${bin}\")
  file(CREATE_LINK ../lib/metronom/metronom \"\${bin}/metronom\" SYMBOLIC)
  message(STATUS \"Installing: \${bin}/metronom -> ../lib/metronom/metronom\")")
install(FILES data/${METRONOM_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${CMAKE_BINARY_DIR}/data/${METRONOM_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/hicolor DESTINATION share/icons)

set(CPACK_PACKAGE_NAME metronom)
set(CPACK_PACKAGE_VENDOR "Metronom")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Pendulum metronome with accents, tap tempo and spoken counting (German interface)")
set(CPACK_PACKAGE_CONTACT "${METRONOM_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The libraries' packages from dpkg-shlibdeps; the font is read at run time, the Wayland plugin is
# loaded only on Wayland.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
include(CPack)
