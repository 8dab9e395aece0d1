# Cross build for 32-bit Windows with mingw-w64 (its posix-thread variant,
# which builds GoogleTest with std::thread). Tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(TAMBERLO_WIDL i686-w64-mingw32-widl)
set(TAMBERLO_WIDL_TARGET --win32)
set(TAMBERLO_WINE_LIB_DIRS /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/wine/i386-windows)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh")
