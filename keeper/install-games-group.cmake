# SPDX-License-Identifier: GPL-3.0-or-later
# Creates the record directory at install time: group games, mode 2775,
# set-group-id, so the record files the game creates there belong to the games
# group too.
#   ZARVONI_RECORD_DIR  the directory, as the game sees it when installed
# Installing as root gives the directory to the games group, into a DESTDIR as
# well: a Debian package built under fakeroot records the group in its archive.
# Installed as another user, the group is left to the administrator.
if(NOT ZARVONI_RECORD_DIR)
    message(FATAL_ERROR "install-record-dir: ZARVONI_RECORD_DIR is not set")
endif()
set(dir "$ENV{DESTDIR}${ZARVONI_RECORD_DIR}")
message(STATUS "Installing: ${dir} (record directory)")
file(MAKE_DIRECTORY "${dir}")

execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
if(uid STREQUAL "0")
    # The group first: the mode comes after, so nothing can clear its set-group-id bit.
    execute_process(COMMAND chgrp games "${dir}" RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "install-record-dir: cannot give ${dir} to the games group")
    endif()
else()
    message(STATUS "Record directory: not installing as root, its group is left as it is "
                   "(as root: chgrp games ${ZARVONI_RECORD_DIR})")
endif()
# CMake's install permissions have no set-group-id bit: chmod sets it.
execute_process(COMMAND chmod 2775 "${dir}" RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "install-record-dir: cannot set mode 2775 on ${dir}")
endif()
