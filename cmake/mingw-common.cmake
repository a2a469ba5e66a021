# mingw-w64 cross compilers with the posix thread model (std::thread and GoogleTest need it).
set(CMAKE_C_COMPILER ${ORVIK_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVIK_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVIK_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ORVIK_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
