# libxlsxwriter for the built-in workbook, as the interface library q2e_xlsxwriter, and zlib as
# q2e_zlib. Linux takes Debian's packages; the Windows build cross-builds the library from
# Debian's source package into the build folder once (scripts/build-xlsxwriter-mingw.sh) and
# links it statically with the MinGW-w64 zlib.
add_library(q2e_xlsxwriter INTERFACE)
add_library(q2e_zlib INTERFACE)
if(WIN32)
  set(Q2E_XLSXWRITER_PREFIX ${CMAKE_BINARY_DIR}/xlsxwriter-mingw)
  execute_process(
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/build-xlsxwriter-mingw.sh ${Q2E_XLSXWRITER_PREFIX}
    RESULT_VARIABLE built)
  if(NOT built EQUAL 0)
    message(FATAL_ERROR "libxlsxwriter for MinGW-w64 could not be built")
  endif()
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
