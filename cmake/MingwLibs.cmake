# Third-party libraries cross-built for Windows, once per machine: each lands in a folder of the
# machine's cache keyed by its pinned version (Q2E_MINGW_CACHE, by default
# $XDG_CACHE_HOME/quarrow2excel/mingw or ~/.cache/quarrow2excel/mingw), which every Windows build
# tree and the package script share. A lock keeps two configures from building one library at once.
if(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
  set(q2e_cache_root $ENV{XDG_CACHE_HOME})
else()
  set(q2e_cache_root $ENV{HOME}/.cache)
endif()
set(Q2E_MINGW_CACHE ${q2e_cache_root}/quarrow2excel/mingw CACHE PATH
  "Where cross-built third-party libraries are kept, one folder per library and version")

# q2e_mingw_lib(NAME VERSION SCRIPT OUT_VAR): runs scripts/SCRIPT PREFIX unless PREFIX holds the
# build already, and sets OUT_VAR to PREFIX.
function(q2e_mingw_lib name version script out_var)
  set(prefix ${Q2E_MINGW_CACHE}/${name}-${version})
  file(MAKE_DIRECTORY ${Q2E_MINGW_CACHE})
  file(LOCK ${Q2E_MINGW_CACHE}/${name}.lock GUARD FUNCTION TIMEOUT 1800)
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/${script} ${prefix} RESULT_VARIABLE built)
  if(NOT built EQUAL 0)
    message(FATAL_ERROR "${name} ${version} for MinGW-w64 could not be built")
  endif()
  set(${out_var} ${prefix} PARENT_SCOPE)
endfunction()
