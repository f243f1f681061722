# What the Debian package installs beside the programs (desktop entry, icons, AppStream metainfo,
# the adapters' udev rule, manual pages, copyright and change log), and CPack's DEB generator.
#   cmake -DQ2E_PACKAGE=ON -DCMAKE_INSTALL_PREFIX=/usr ... && cpack -G DEB
include(GNUInstallDirs)
include(${PROJECT_SOURCE_DIR}/cmake/Icon.cmake)

set(Q2E_HOMEPAGE "https://vornex.example/quarrow2excel" CACHE STRING
  "The program's web page; the software catalogues show the screenshot published there")
set(Q2E_CONTACT "VORNEX <quarrow2excel@vornex.example>" CACHE STRING "The package's maintainer")
set(Q2E_APP_ID com.vornex.quarrow2excel)
set(pkg ${PROJECT_SOURCE_DIR}/packaging)
set(out ${CMAKE_BINARY_DIR}/packaging)

# Icons for every size the desktop's theme looks for, rendered from the one drawing.
set(icon_files)
foreach(size 16 22 24 32 48 64 128 256)
  q2e_icon_png(${size} ${out}/icons/${size}/quarrow2excel.png)
  list(APPEND icon_files ${out}/icons/${size}/quarrow2excel.png)
  install(FILES ${out}/icons/${size}/quarrow2excel.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${Q2E_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Manual pages and the change log go compressed, as Debian keeps them.
find_program(Q2E_GZIP gzip REQUIRED)
set(gz_files)
foreach(page quarrow2excel quarrow2excel-cli quarrow-sim quarrow-decode)
  add_custom_command(OUTPUT ${out}/man/${page}.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out}/man
    COMMAND ${Q2E_GZIP} -9nc ${pkg}/man/${page}.1 > ${out}/man/${page}.1.gz
    DEPENDS ${pkg}/man/${page}.1)
  list(APPEND gz_files ${out}/man/${page}.1.gz)
  install(FILES ${out}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
execute_process(COMMAND date -u -R -d "${Q2E_RELEASE_DATE} 12:00"
  OUTPUT_VARIABLE Q2E_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(CPACK_PACKAGE_CONTACT ${Q2E_CONTACT})
configure_file(${pkg}/linux/changelog.in ${out}/changelog @ONLY)
add_custom_command(OUTPUT ${out}/changelog.gz
  COMMAND ${Q2E_GZIP} -9nc ${out}/changelog > ${out}/changelog.gz
  DEPENDS ${out}/changelog)
list(APPEND gz_files ${out}/changelog.gz)
add_custom_target(q2e_package_files ALL DEPENDS ${icon_files} ${gz_files})

configure_file(${pkg}/linux/${Q2E_APP_ID}.metainfo.xml.in ${out}/${Q2E_APP_ID}.metainfo.xml @ONLY)
install(FILES ${pkg}/linux/${Q2E_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${out}/${Q2E_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# Debian 12's udev reads its packages' rules from /lib.
install(FILES ${pkg}/linux/70-quarrow2excel.rules DESTINATION /lib/udev/rules.d)
install(FILES ${pkg}/linux/copyright ${out}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quarrow2excel)

install(TARGETS quarrow2excel quarrow2excel-cli quarrow-sim quarrow-decode
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
  GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarrow2excel)
set(CPACK_PACKAGE_VENDOR VORNEX)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "read a concrete strength tester's archive into a workbook")
set(CPACK_PACKAGE_DESCRIPTION
  "Quarrow2Excel reads the measurement archive of a Quarrow concrete
strength tester over its USB serial cable and exports it as a
spreadsheet workbook, a fixed-width text report, a printable PDF
protocol or a CSV table. The window finds a
plugged-in tester by itself; quarrow2excel-cli does the same reading
without a window, for scripts. A udev rule lets the person at the
desktop open the USB serial adapters (FTDI and Silicon Laboratories
chips) and keeps ModemManager away from them. quarrow-sim simulates a
tester on a pseudo-terminal.")
set(CPACK_STRIP_FILES ON)
# Absolute destinations (the udev rule) land in the package, not on the building machine.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${Q2E_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The PDF protocol embeds DejaVu Sans from the system's fonts.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
# Workbooks handed to the desktop's spreadsheet program open through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${pkg}/linux/postinst ${pkg}/linux/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/dist)
include(CPack)
