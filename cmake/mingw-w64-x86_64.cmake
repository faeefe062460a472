# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix thread model, which
# std::thread and Qt need). Used by scripts/windows for Qt and for the program.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(FULMARO_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${FULMARO_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FULMARO_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${FULMARO_MINGW}-windres)

# Libraries and packages come from the MinGW tree and from the prefixes given (Qt for Windows),
# never from the Linux system; programs (moc, rcc, the host Qt's tools) run from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${FULMARO_MINGW} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

