# SPDX-License-Identifier: GPL-3.0-or-later
# Gives the games group what it keeps at install time:
# - the record directory, mode 2770: the group's alone, set-group-id so that the
#   files the keeper creates there belong to the group too; others may not even
#   enter it, for the files a store creates belong to the pupil who stored;
# - the record keeper, mode 2755: set-group-id games, run by every pupil.
#   ZARVONI_RECORD_DIR  the directory, as the game sees it when installed
#   ZARVONI_KEEPER_FILE the keeper, relative to the prefix (may be empty: none)
# Installing as root gives both to the games group, into a DESTDIR as well: a
# Debian package built under fakeroot records the group in its archive. Installed
# as another user, the group is left to the administrator.
if(NOT ZARVONI_RECORD_DIR)
    message(FATAL_ERROR "install-games-group: ZARVONI_RECORD_DIR is not set")
endif()
set(dir "$ENV{DESTDIR}${ZARVONI_RECORD_DIR}")
message(STATUS "Installing: ${dir} (record directory)")
file(MAKE_DIRECTORY "${dir}")
set(entries "${dir}=2770")
if(ZARVONI_KEEPER_FILE)
    cmake_path(ABSOLUTE_PATH ZARVONI_KEEPER_FILE BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}"
               NORMALIZE OUTPUT_VARIABLE keeper)
    list(APPEND entries "$ENV{DESTDIR}${keeper}=2755")
endif()

execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
foreach(entry IN LISTS entries)
    string(REPLACE "=" ";" parts "${entry}")
    list(GET parts 0 path)
    list(GET parts 1 mode)
    if(uid STREQUAL "0")
        # The group first: a change of group clears the set-group-id bit.
        execute_process(COMMAND chgrp games "${path}" RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "install-games-group: cannot give ${path} to the games group")
        endif()
    else()
        message(STATUS "${path}: not installing as root, its group is left as it is "
                       "(as root: chgrp games, then chmod ${mode})")
    endif()
    # CMake's install permissions keep no set-group-id bit on a directory: chmod sets it.
    execute_process(COMMAND chmod ${mode} "${path}" RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "install-games-group: cannot set mode ${mode} on ${path}")
    endif()
endforeach()
