# SPDX-License-Identifier: GPL-3.0-or-later
# Creates the record directory at install time: mode 2775, set-group-id, so the
# record files the game creates there belong to the games group.
#   ZARVONI_RECORD_DIR  the directory, as the game sees it when installed
# Installing as root to the real system also gives it to the games group; into a
# DESTDIR (a package's staging tree) or as another user the group is left to the
# package's post-install step, or to the administrator.
if(NOT ZARVONI_RECORD_DIR)
    message(FATAL_ERROR "install-record-dir: ZARVONI_RECORD_DIR is not set")
endif()
set(dir "$ENV{DESTDIR}${ZARVONI_RECORD_DIR}")
message(STATUS "Installing: ${dir} (record directory)")
file(MAKE_DIRECTORY "${dir}")

execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
if("$ENV{DESTDIR}" STREQUAL "" AND uid STREQUAL "0")
    # The group first: the mode comes after, so nothing can clear its set-group-id bit.
    execute_process(COMMAND chgrp games "${dir}" RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "install-record-dir: cannot give ${dir} to the games group")
    endif()
else()
    message(STATUS "Record directory: its group games is set by the package's "
                   "post-install step (or: chgrp games ${ZARVONI_RECORD_DIR})")
endif()
# CMake's install permissions have no set-group-id bit: chmod sets it.
execute_process(COMMAND chmod 2775 "${dir}" RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "install-record-dir: cannot set mode 2775 on ${dir}")
endif()
