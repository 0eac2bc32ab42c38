# Desktop integration: the user guide written from the README at build time, the desktop
# entry, the application icon in the hicolor theme, and where each is installed. Included from
# res/CMakeLists.txt, whose library finds the guide at run time (res/user_guide.cpp).
include(GNUInstallDirs)
get_filename_component(TICKTAVO_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(TICKTAVO_GUIDE_INSTALL_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/ticktavo)
set(TICKTAVO_BUILD_GUIDE ${CMAKE_BINARY_DIR}/guide/guide.html)

# The pages of docs/ and their pictures. A page or picture left out of these lists is caught
# by the install_tree test below once the guide links to it.
set(TICKTAVO_DOC_PAGES
  ${TICKTAVO_ROOT}/docs/architecture.md
  ${TICKTAVO_ROOT}/docs/measurements.md
  ${TICKTAVO_ROOT}/docs/reliability.md
  ${TICKTAVO_ROOT}/docs/settings-file.md
  ${TICKTAVO_ROOT}/docs/sound-device.md
  ${TICKTAVO_ROOT}/docs/timing.md
  ${TICKTAVO_ROOT}/docs/windows.md)
set(TICKTAVO_DOC_PICTURES
  ${TICKTAVO_ROOT}/docs/practice-window.png
  ${TICKTAVO_ROOT}/docs/window.png)

# The README's pictures are written into the guide.
add_custom_command(
  OUTPUT ${TICKTAVO_BUILD_GUIDE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/guide
  COMMAND Python3::Interpreter ${TICKTAVO_ROOT}/scripts/readme_to_html.py
          ${TICKTAVO_ROOT}/README.md ${TICKTAVO_BUILD_GUIDE}
  DEPENDS ${TICKTAVO_ROOT}/README.md ${TICKTAVO_ROOT}/scripts/readme_to_html.py
          ${TICKTAVO_DOC_PICTURES}
  COMMENT "Writing the user guide from the README"
  VERBATIM)
# The pages of docs/ the README links to, as web pages beside the guide, with its pictures.
set(guide_outputs ${TICKTAVO_BUILD_GUIDE})
foreach(page ${TICKTAVO_DOC_PAGES})
  get_filename_component(name ${page} NAME_WE)
  set(out ${CMAKE_BINARY_DIR}/guide/docs/${name}.html)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/guide/docs
    COMMAND Python3::Interpreter ${TICKTAVO_ROOT}/scripts/readme_to_html.py ${page} ${out}
    DEPENDS ${page} ${TICKTAVO_ROOT}/scripts/readme_to_html.py
    VERBATIM)
  list(APPEND guide_outputs ${out})
endforeach()
foreach(picture ${TICKTAVO_DOC_PICTURES})
  get_filename_component(name ${picture} NAME)
  set(out ${CMAKE_BINARY_DIR}/guide/docs/${name})
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/guide/docs
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${picture} ${out}
    DEPENDS ${picture}
    VERBATIM)
  list(APPEND guide_outputs ${out})
endforeach()
add_custom_target(user_guide ALL DEPENDS ${guide_outputs})

# The program finds the installed guide relative to its own folder, so an installed tree can
# be moved (or installed with a --prefix other than the configured one) and still find it.
file(RELATIVE_PATH TICKTAVO_GUIDE_FROM_BINDIR ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_DATAROOTDIR}/doc/ticktavo/guide.html)

install(FILES ${TICKTAVO_BUILD_GUIDE} DESTINATION ${TICKTAVO_GUIDE_INSTALL_DIR})
install(DIRECTORY ${CMAKE_BINARY_DIR}/guide/docs DESTINATION ${TICKTAVO_GUIDE_INSTALL_DIR})
install(FILES ${TICKTAVO_ROOT}/res/ticktavo.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${TICKTAVO_ROOT}/res/icons/ticktavo.svg
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${TICKTAVO_ROOT}/res/icons/ticktavo-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps
          RENAME ticktavo.png)
endforeach()

# `make test` checks an installation into a scratch prefix. It installs what the build made,
# so it belongs after a full build (as `make test` does it).
find_program(TICKTAVO_DESKTOP_FILE_VALIDATE desktop-file-validate)
add_test(NAME install_tree
         COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
                 -DPREFIX=${CMAKE_BINARY_DIR}/install-check
                 -DVALIDATE=${TICKTAVO_DESKTOP_FILE_VALIDATE}
                 -P ${TICKTAVO_ROOT}/cmake/check_install.cmake)
set_tests_properties(install_tree PROPERTIES LABELS install)

# The guide's converter on its own: anchors, tables, code, escaping, safe links.
add_test(NAME readme_to_html
         COMMAND Python3::Interpreter ${TICKTAVO_ROOT}/tests/guide/readme_to_html_test.py)
set_tests_properties(readme_to_html PROPERTIES LABELS install)
