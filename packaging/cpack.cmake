# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package, built by `make package` with CPack's DEB generator.
# Its Qt 6 runtime dependencies are computed by dpkg-shlibdeps; the packages
# below are those the program loads at run time, where dpkg-shlibdeps cannot see
# them: the SVG icon engine and image format plugins (libqt6svg6), the Italian
# texts of Qt's dialogs (qt6-translations-l10n) and the fonts the window asks
# for by name (fonts-liberation2).

set(ZARVONI_PACKAGE_MAINTAINER
    "Zarvoni maintainers <maintainers@users.noreply.c-seed-5dbb081b.example>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zarvoni)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${ZARVONI_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "equation drill game for school pupils (in Italian)")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Zarvoni poses first-degree equations a + b = c + d with one term hidden;
the pupil types the value of the unknown. It counts right, wrong and total
answers against a fifteen-minute countdown and keeps the best score of the
machine in ${ZARVONI_RECORD_DIR}, shared by the members of the games group.")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, qt6-translations-l10n, fonts-liberation2")
set(CPACK_STRIP_FILES ON)

# The record directory lies outside the prefix (/var/games for /usr): stage the
# whole tree under DESTDIR so it lands in the package, not on this machine.
set(CPACK_SET_DESTDIR ON)

foreach(script postinst postrm)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/${script}.in
                   ${CMAKE_CURRENT_BINARY_DIR}/debian/${script} @ONLY)
    list(APPEND CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_BINARY_DIR}/debian/${script})
endforeach()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
