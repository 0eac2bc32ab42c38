# Installs the build into a fresh temporary prefix and checks that a desktop finds everything
# where it looks: the program, a valid desktop entry naming it and its icon, the icon in the
# hicolor theme (scalable and fixed sizes), and the user guide beside the program with the
# pages and pictures it links to.
#
#   cmake -DBUILD_DIR=<build> -DPREFIX=<empty scratch folder> [-DVALIDATE=<desktop-file-validate>]
#         -P check_install.cmake
foreach(var BUILD_DIR PREFIX)
  if(NOT ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(expected
    bin/ticktavo
    share/applications/ticktavo.desktop
    share/doc/ticktavo/guide.html
    share/doc/ticktavo/docs/timing.html
    share/doc/ticktavo/docs/window.png
    share/icons/hicolor/scalable/apps/ticktavo.svg)
foreach(size 16 24 32 48 64 128 256)
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/ticktavo.png)
endforeach()
foreach(path ${expected})
  if(NOT EXISTS ${PREFIX}/${path})
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()

file(READ ${PREFIX}/share/applications/ticktavo.desktop entry)
foreach(line "Exec=ticktavo" "Icon=ticktavo" "Type=Application" "Name=Ticktavo")
  string(FIND "${entry}" "\n${line}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the desktop entry lacks the line ${line}")
  endif()
endforeach()
if(VALIDATE)
  execute_process(COMMAND ${VALIDATE} ${PREFIX}/share/applications/ticktavo.desktop
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "desktop-file-validate: ${out}")
  endif()
endif()

file(READ ${PREFIX}/share/doc/ticktavo/guide.html guide LIMIT 200)
if(NOT guide MATCHES "^<!DOCTYPE html>")
  message(FATAL_ERROR "the installed guide is not an HTML page")
endif()
# Every page and picture the guide and its pages link to is installed (relative addresses;
# anchors are left to the converter's own test).
file(GLOB pages ${PREFIX}/share/doc/ticktavo/guide.html ${PREFIX}/share/doc/ticktavo/docs/*.html)
foreach(page ${pages})
  get_filename_component(folder ${page} DIRECTORY)
  file(READ ${page} html)
  string(REGEX MATCHALL "(href|src)=\"[^\"#:]+" addresses "${html}")
  foreach(address ${addresses})
    string(REGEX REPLACE "^(href|src)=\"" "" target "${address}")
    if(NOT EXISTS ${folder}/${target})
      message(FATAL_ERROR "${page} links to ${target}, which is not installed")
    endif()
  endforeach()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
