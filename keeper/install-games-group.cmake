# SPDX-License-Identifier: GPL-3.0-or-later
# Gives the games user and group what they keep at install time:
# - the record directory, root:games mode 2770: the group's alone, set-group-id so
#   that every file created there belongs to the group too; others may not even
#   enter it;
# - the record keeper, games:games mode 6755: set-user-id and set-group-id games,
#   run by every pupil. It switches all its ids to games as it starts, so the
#   pupil who started it cannot signal, stop or renice it, and the record files it
#   creates belong to games, not to a pupil.
#   ZARVONI_RECORD_DIR  the directory, as the game sees it when installed
#   ZARVONI_KEEPER_FILE the keeper, relative to the prefix (may be empty: none)
# Installing as root gives both to games, into a DESTDIR as well: a Debian package
# built under fakeroot records the owner in its archive. Installed as another
# user, the owner is left to the administrator.
if(NOT ZARVONI_RECORD_DIR)
    message(FATAL_ERROR "install-games-group: ZARVONI_RECORD_DIR is not set")
endif()
set(dir "$ENV{DESTDIR}${ZARVONI_RECORD_DIR}")
message(STATUS "Installing: ${dir} (record directory)")
file(MAKE_DIRECTORY "${dir}")
set(entries "${dir}=root:games=2770")
if(ZARVONI_KEEPER_FILE)
    cmake_path(ABSOLUTE_PATH ZARVONI_KEEPER_FILE BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}"
               NORMALIZE OUTPUT_VARIABLE keeper)
    list(APPEND entries "$ENV{DESTDIR}${keeper}=games:games=6755")
endif()

execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
foreach(entry IN LISTS entries)
    string(REPLACE "=" ";" parts "${entry}")
    list(GET parts 0 path)
    list(GET parts 1 owner)
    list(GET parts 2 mode)
    if(uid STREQUAL "0")
        # The owner first: a change of owner clears the set-user-id and set-group-id bits.
        execute_process(COMMAND chown ${owner} "${path}" RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "install-games-group: cannot give ${path} to ${owner}")
        endif()
    else()
        message(STATUS "${path}: not installing as root, its owner is left as it is "
                       "(as root: chown ${owner}, then chmod ${mode})")
    endif()
    # CMake's install permissions keep no set-group-id bit on a directory: chmod sets it.
    execute_process(COMMAND chmod ${mode} "${path}" RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "install-games-group: cannot set mode ${mode} on ${path}")
    endif()
endforeach()
