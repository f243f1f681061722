# On Windows the sources that see the system's headers are compiled one by one, and only the
# portable ones in batches: serial_api.h, thread_messages.h and others give the portable code names
# that <windows.h> declares or defines as macros as well, and which of them wins depends on the
# order a batch would put them in. A source sees the system's headers when its name says _win32,
# or when it includes a system header or one of ours named so.
function(q2e_unity_alone dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(t IN LISTS targets)
    get_target_property(type ${t} TYPE)
    if(NOT type MATCHES "^(STATIC_LIBRARY|EXECUTABLE|OBJECT_LIBRARY)$")
      continue()
    endif()
    get_target_property(sources ${t} SOURCES)
    get_target_property(base ${t} SOURCE_DIR)
    foreach(s IN LISTS sources)
      if(NOT s MATCHES "\\.(cpp|cc)$")
        continue()
      endif()
      cmake_path(ABSOLUTE_PATH s BASE_DIRECTORY ${base} OUTPUT_VARIABLE path)
      if(NOT EXISTS ${path})
        continue()  # generated at build time: the string table's catalogs, portable
      endif()
      file(STRINGS ${path} system REGEX
        "^#include (<(windows|commctrl|commdlg|oaidl|oleauto|objbase|shlobj|shellapi|shlwapi|setupapi|cfgmgr32|mmsystem|winver|io)\\.h>|\"[a-z0-9_/]*_win32\\.h\")")
      if(system OR s MATCHES "_win32\\.cpp$")
        set_source_files_properties(${path} TARGET_DIRECTORY ${t} PROPERTIES
          SKIP_UNITY_BUILD_INCLUSION ON)
      endif()
    endforeach()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(d IN LISTS subdirs)
    q2e_unity_alone(${d})
  endforeach()
endfunction()
