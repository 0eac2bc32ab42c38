# Desktop integration: the user guide written from the README at build time, the desktop
# entry, the application icon in the hicolor theme, and where each is installed. Included from
# res/CMakeLists.txt, whose library finds the guide at run time (res/user_guide.cpp).
include(GNUInstallDirs)
get_filename_component(TICKTAVO_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(TICKTAVO_GUIDE_INSTALL_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/ticktavo)
set(TICKTAVO_BUILD_GUIDE ${CMAKE_BINARY_DIR}/guide/guide.html)

# The README's pictures are written into the guide.
file(GLOB TICKTAVO_GUIDE_PICTURES CONFIGURE_DEPENDS ${TICKTAVO_ROOT}/docs/*.png)
add_custom_command(
  OUTPUT ${TICKTAVO_BUILD_GUIDE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/guide
  COMMAND Python3::Interpreter ${TICKTAVO_ROOT}/scripts/readme_to_html.py
          ${TICKTAVO_ROOT}/README.md ${TICKTAVO_BUILD_GUIDE}
  DEPENDS ${TICKTAVO_ROOT}/README.md ${TICKTAVO_ROOT}/scripts/readme_to_html.py
          ${TICKTAVO_GUIDE_PICTURES}
  COMMENT "Writing the user guide from the README"
  VERBATIM)
# The pages of docs/ the README links to, as web pages beside the guide, with its pictures.
set(guide_outputs ${TICKTAVO_BUILD_GUIDE})
file(GLOB TICKTAVO_DOC_PAGES CONFIGURE_DEPENDS ${TICKTAVO_ROOT}/docs/*.md)
file(GLOB TICKTAVO_DOC_PICTURES CONFIGURE_DEPENDS ${TICKTAVO_ROOT}/docs/*.png)
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
