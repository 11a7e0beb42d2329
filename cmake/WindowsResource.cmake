# zaq_add_windows_resource(<target>)
#
# On Windows, compiles the icon and the VERSIONINFO record into <target>: the
# template src/resources/zaqchat.rc.in is configured into the caller's build
# directory and added to the target's sources. Elsewhere it does nothing.
#
# Reads ZAQ_FILE_VERSION, ZAQ_PRODUCT_NAME and ZAQ_DESCRIPTION (set by the
# top-level CMakeLists.txt) and PROJECT_VERSION for the numeric version.

include_guard(GLOBAL)

# Captured at include time: inside the function CMAKE_CURRENT_LIST_DIR would
# be the caller's directory.
get_filename_component(_ZAQ_WINRES_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

function(zaq_add_windows_resource target)
  if(NOT WIN32)
    return()
  endif()

  foreach(_var IN ITEMS ZAQ_FILE_VERSION ZAQ_PRODUCT_NAME ZAQ_DESCRIPTION)
    if(NOT DEFINED ${_var})
      message(FATAL_ERROR "zaq_add_windows_resource: ${_var} is not set")
    endif()
  endforeach()

  # FILEVERSION/PRODUCTVERSION want four comma-separated numbers.
  # Missing components (no patch or tweak in project()) count as 0.
  set(_numbers "")
  foreach(_part IN ITEMS MAJOR MINOR PATCH TWEAK)
    set(_n "${PROJECT_VERSION_${_part}}")
    if(_n STREQUAL "")
      set(_n 0)
    endif()
    list(APPEND _numbers ${_n})
  endforeach()
  list(JOIN _numbers "," ZAQ_RC_VERSION)

  # Forward slashes work for both rc.exe and windres and need no escaping.
  set(ZAQ_RC_ICON "${_ZAQ_WINRES_ROOT}/src/resources/icon/zaqchat.ico")
  file(TO_CMAKE_PATH "${ZAQ_RC_ICON}" ZAQ_RC_ICON)
  set(ZAQ_RC_EXE "${target}.exe")
  string(TOUPPER "${ZAQ_RC_EXE}" ZAQ_RC_EXE)
  set(ZAQ_RC_INTERNAL "${target}")

  set(_rc "${CMAKE_CURRENT_BINARY_DIR}/${target}_resource.rc")
  configure_file("${_ZAQ_WINRES_ROOT}/src/resources/zaqchat.rc.in" "${_rc}" @ONLY)
  # Rebuild the resource when the icon changes, not only when the .rc does.
  set_source_files_properties("${_rc}" PROPERTIES OBJECT_DEPENDS "${ZAQ_RC_ICON}")
  target_sources(${target} PRIVATE "${_rc}")
endfunction()
