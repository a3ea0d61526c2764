# Cross build for 32-bit Windows with Debian's mingw-w64; built and measured, never run here.
set(WEBSETUP_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
