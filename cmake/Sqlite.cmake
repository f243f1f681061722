# SQLite for the store of earlier readings, as the interface library q2e_sqlite. Linux takes
# Debian's libsqlite3-dev; the Windows build cross-builds Debian's own source package of the same
# version once per machine (scripts/build-sqlite-mingw.sh, cached by cmake/MingwLibs.cmake) and
# links it statically.
add_library(q2e_sqlite INTERFACE)
if(WIN32)
  include(cmake/MingwLibs.cmake)
  q2e_mingw_lib(sqlite3 3.40.1-2+deb12u2 build-sqlite-mingw.sh Q2E_SQLITE_PREFIX)
  target_link_libraries(q2e_sqlite INTERFACE ${Q2E_SQLITE_PREFIX}/lib/libsqlite3.a)
  target_include_directories(q2e_sqlite INTERFACE ${Q2E_SQLITE_PREFIX}/include)
else()
  find_package(SQLite3 REQUIRED)
  target_link_libraries(q2e_sqlite INTERFACE SQLite::SQLite3)
endif()
