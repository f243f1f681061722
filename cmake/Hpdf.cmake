# libharu for the PDF protocol, as the interface library q2e_hpdf. Linux takes Debian's package;
# the Windows build cross-builds it statically from Debian's source package once per machine
# (scripts/build-libharu-mingw.sh, cached by cmake/MingwLibs.cmake), with the MinGW-w64 zlib.
add_library(q2e_hpdf INTERFACE)
if(WIN32)
  include(cmake/MingwLibs.cmake)
  q2e_mingw_lib(libharu 2.3.0+dfsg-1 build-libharu-mingw.sh Q2E_HPDF_PREFIX)
  target_link_libraries(q2e_hpdf INTERFACE ${Q2E_HPDF_PREFIX}/lib/libhpdf.a q2e_zlib)
  target_include_directories(q2e_hpdf INTERFACE ${Q2E_HPDF_PREFIX}/include)
else()
  find_path(Q2E_HPDF_INCLUDE hpdf.h)
  find_library(Q2E_HPDF_LIBRARY hpdf)
  if(NOT Q2E_HPDF_INCLUDE OR NOT Q2E_HPDF_LIBRARY)
    message(FATAL_ERROR "The PDF protocol needs libharu (Debian: libhpdf-dev)")
  endif()
  target_link_libraries(q2e_hpdf INTERFACE ${Q2E_HPDF_LIBRARY} q2e_zlib)
  target_include_directories(q2e_hpdf INTERFACE ${Q2E_HPDF_INCLUDE})
endif()
