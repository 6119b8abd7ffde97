# Fails when a file is larger than a limit in bytes. The shipped executable
# goes out beside every game, so its size is a promise:
#   cmake -DCHECKED_FILE=<path> -DLIMIT=<bytes> -P check_file_size.cmake
if(NOT DEFINED CHECKED_FILE OR NOT DEFINED LIMIT)
    message(FATAL_ERROR "usage: cmake -DCHECKED_FILE=<path> -DLIMIT=<bytes> -P check_file_size.cmake")
endif()
if(NOT EXISTS "${CHECKED_FILE}")
    message(FATAL_ERROR "${CHECKED_FILE} does not exist")
endif()
file(SIZE "${CHECKED_FILE}" size)
if(size GREATER LIMIT)
    message(FATAL_ERROR "${CHECKED_FILE} is ${size} bytes, past the limit of ${LIMIT}")
endif()
message(STATUS "${CHECKED_FILE}: ${size} bytes, at most ${LIMIT}")
