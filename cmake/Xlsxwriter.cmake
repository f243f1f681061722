# libxlsxwriter for the built-in workbook, as the interface library q2e_xlsxwriter, and zlib as
# q2e_zlib. Linux takes Debian's packages; the Windows build cross-builds the library from
# Debian's source package once per machine (scripts/build-xlsxwriter-mingw.sh, cached by
# cmake/MingwLibs.cmake) and links it statically with the MinGW-w64 zlib.
add_library(q2e_xlsxwriter INTERFACE)
add_library(q2e_zlib INTERFACE)
if(WIN32)
  include(cmake/MingwLibs.cmake)
  q2e_mingw_lib(libxlsxwriter 1.1.4-2 build-xlsxwriter-mingw.sh Q2E_XLSXWRITER_PREFIX)
  find_library(Q2E_MINGW_ZLIB NAMES libz.a REQUIRED)
  find_path(Q2E_MINGW_ZLIB_INCLUDE zlib.h REQUIRED)
  target_link_libraries(q2e_zlib INTERFACE ${Q2E_MINGW_ZLIB})
  target_include_directories(q2e_zlib INTERFACE ${Q2E_MINGW_ZLIB_INCLUDE})
  # zlib after the library that needs it: static archives resolve in order.
  target_link_libraries(q2e_xlsxwriter INTERFACE ${Q2E_XLSXWRITER_PREFIX}/lib/libxlsxwriter.a
    ${Q2E_MINGW_ZLIB})
  target_include_directories(q2e_xlsxwriter INTERFACE ${Q2E_XLSXWRITER_PREFIX}/include)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(XLSXWRITER IMPORTED_TARGET xlsxwriter)
  if(NOT XLSXWRITER_FOUND)
    message(FATAL_ERROR "The built-in workbook needs libxlsxwriter (Debian: libxlsxwriter-dev)")
  endif()
  find_package(ZLIB REQUIRED)
  target_link_libraries(q2e_zlib INTERFACE ZLIB::ZLIB)
  target_link_libraries(q2e_xlsxwriter INTERFACE PkgConfig::XLSXWRITER)
endif()
