# SPDX-License-Identifier: GPL-3.0-or-later
# Installs Lexigrove and describes its Debian package (`cpack -G DEB` in the
# build folder).
#
# The program looks for words.mdb, the pointer, the help page and skins in
# the folder of its own executable, so they all live together in
# /usr/lib/lexigrove; /usr/bin/lexigrove is a symbolic link there, and since
# Qt resolves the application folder through /proc/self/exe the link finds
# the real folder. The importer comes along as lexigrove-import, so that a
# user builds a database for any thesaurus they have. Tests, benchmarks and
# fuzzers have no install rules and stay out of the package.

set(LEXIGROVE_INSTALL_DIR lib/lexigrove)
# A umask such as 077 must not leave folders that only root can enter.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The installed programs are hardened as Debian's own packages are, whatever
# flags the build folder was configured with: position independent, so that
# their addresses are random, and with their relocations read-only from the
# start (full RELRO: the linker's relro and now).
include(CheckPIESupported)
check_pie_supported(LANGUAGES CXX)
include(CheckLinkerFlag)
check_linker_flag(CXX "LINKER:-z,relro,-z,now" LEXIGROVE_LINKER_FULL_RELRO)
foreach(program lexigrove lexigrove-import)
  set_property(TARGET ${program} PROPERTY POSITION_INDEPENDENT_CODE ON)
  if(LEXIGROVE_LINKER_FULL_RELRO)
    target_link_options(${program} PRIVATE "LINKER:-z,relro,-z,now")
  endif()
endforeach()

install(TARGETS lexigrove lexigrove-import RUNTIME DESTINATION ${LEXIGROVE_INSTALL_DIR})
# Stripped as Debian strips its programs (dh_strip): the compiler's version
# notes in .comment and .note go with the symbols.
foreach(program lexigrove lexigrove-import)
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${LEXIGROVE_INSTALL_DIR}/${program}\" COMMAND_ERROR_IS_FATAL ANY)
endif()")
endforeach()
# words.mdb only when it is built (tools/CMakeLists.txt).
if(TARGET words_db)
  install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/words.mdb DESTINATION ${LEXIGROVE_INSTALL_DIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/resources/HAND-M.CUR
              ${PROJECT_SOURCE_DIR}/resources/help.html
        DESTINATION ${LEXIGROVE_INSTALL_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/skins DESTINATION ${LEXIGROVE_INSTALL_DIR})

# Relative, so that it also points to the right place in a staging folder.
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/packaging)
foreach(command lexigrove lexigrove-import)
  file(CREATE_LINK ../${LEXIGROVE_INSTALL_DIR}/${command}
       ${CMAKE_CURRENT_BINARY_DIR}/packaging/${command} SYMBOLIC)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/${command} DESTINATION bin)
endforeach()

# The menu entry and the metainfo by which software centres list the program,
# both named by its reverse-DNS id.
set(LEXIGROVE_APP_ID org.lexigrove.Lexigrove)
install(FILES ${PROJECT_SOURCE_DIR}/resources/${LEXIGROVE_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/${LEXIGROVE_APP_ID}.metainfo.xml DESTINATION share/metainfo)

# One drawing, the SVG; every PNG size the desktops ask for is rendered from it.
find_program(LEXIGROVE_RSVG_CONVERT rsvg-convert REQUIRED)
set(icon_source ${PROJECT_SOURCE_DIR}/resources/icons/${LEXIGROVE_APP_ID}.svg)
install(FILES ${icon_source} DESTINATION share/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
  set(icon ${CMAKE_CURRENT_BINARY_DIR}/packaging/icons/${size}x${size}/${LEXIGROVE_APP_ID}.png)
  add_custom_command(
    OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging/icons/${size}x${size}
    COMMAND ${LEXIGROVE_RSVG_CONVERT} --width ${size} --height ${size} --output ${icon} ${icon_source}
    DEPENDS ${icon_source}
    VERBATIM)
  list(APPEND lexigrove_icons ${icon})
  install(FILES ${icon} DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()

# Completion where each shell looks for it by the command's name.
install(FILES ${PROJECT_SOURCE_DIR}/resources/completion/lexigrove.bash
        DESTINATION share/bash-completion/completions RENAME lexigrove)
install(FILES ${PROJECT_SOURCE_DIR}/resources/completion/_lexigrove
        DESTINATION share/zsh/vendor-completions)
install(FILES ${PROJECT_SOURCE_DIR}/resources/completion/lexigrove.fish
        DESTINATION share/fish/vendor_completions.d)

install(FILES ${PROJECT_SOURCE_DIR}/resources/copyright DESTINATION share/doc/lexigrove)
install(FILES ${PROJECT_SOURCE_DIR}/resources/lintian/lexigrove DESTINATION share/lintian/overrides)

# Manual pages and the changelog (NEWS, in Debian's format) are shipped
# compressed, without a time stamp, so that two builds give the same package.
find_program(LEXIGROVE_GZIP gzip REQUIRED)
foreach(page lexigrove lexigrove-import)
  set(manual ${CMAKE_CURRENT_BINARY_DIR}/packaging/${page}.1.gz)
  add_custom_command(
    OUTPUT ${manual}
    COMMAND ${LEXIGROVE_GZIP} -9nc ${PROJECT_SOURCE_DIR}/resources/${page}.1 > ${manual}
    DEPENDS ${PROJECT_SOURCE_DIR}/resources/${page}.1
    VERBATIM)
  list(APPEND lexigrove_manuals ${manual})
endforeach()
set(changelog ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(
  OUTPUT ${changelog}
  COMMAND ${LEXIGROVE_GZIP} -9nc ${PROJECT_SOURCE_DIR}/NEWS > ${changelog}
  DEPENDS ${PROJECT_SOURCE_DIR}/NEWS
  VERBATIM)
add_custom_target(lexigrove_manual ALL DEPENDS ${lexigrove_manuals} ${changelog} ${lexigrove_icons})
install(FILES ${lexigrove_manuals} DESTINATION share/man/man1)
install(FILES ${changelog} DESTINATION share/doc/lexigrove)

set(LEXIGROVE_PACKAGE_MAINTAINER "Lexigrove maintainers <maintainers@lexigrove.invalid>"
    CACHE STRING "Maintainer named in the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lexigrove)
set(CPACK_PACKAGE_VENDOR Lexigrove)
set(CPACK_PACKAGE_CONTACT ${LEXIGROVE_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${LEXIGROVE_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://lexigrove.org/)
# dpkg-shlibdeps derives the library packages (Qt, SQLite, libxlsxwriter, the
# C++ runtime) from the executable; the architecture comes from dpkg.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugins at run time, so no library names them: without
# them the window cannot start.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
# Arial is drawn with its metric twin, and the help page opens through xdg-open. English
# irregular forms (went, children) come from WordNet's exception lists.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, xdg-utils, wordnet-base")
# Every installed MyThes thesaurus is offered as a language; the Hunspell dictionary of the
# same language is used with it where one is installed.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "mythes-thesaurus, hunspell-dictionary")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "synonym finder for whole lists of words")
# CPack puts the summary first, as the description's first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Lexigrove takes a list of words, typed in or loaded from text files, and
looks up every one of them in a local synonym database built from the
LibreOffice English thesaurus. It lists one row per word and synonym; ticked
rows can be saved as an aligned text file or copied to the clipboard, and
all rows saved as a comma-delimited file. The same lookup runs from the
command line (lexigrove --lookup), and lexigrove-import builds a database
from any MyThes thesaurus for other languages.")
include(CPack)
