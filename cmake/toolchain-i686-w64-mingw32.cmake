# Cross build for the host's platform: 32-bit Windows, with the MinGW-w64
# i686 compiler (posix threads variant, so std::thread and std::mutex exist).
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake
# The C and C++ runtimes and winpthread are linked statically, so the
# binaries need nothing beyond the Windows system DLLs and rxResult.dll.
# Tests run under wine (CMAKE_CROSSCOMPILING_EMULATOR).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KVRES_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KVRES_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KVRES_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KVRES_MINGW_PREFIX}-windres)
set(CMAKE_AR ${KVRES_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${KVRES_MINGW_PREFIX}-ranlib CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${KVRES_MINGW_PREFIX}-objdump CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${KVRES_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Floating point in SSE2 registers, not the x87 unit: an x87 load quiets a
# signalling NaN (7F800001 becomes 7FC00001), and a real must reach the host
# as the file's 4 bytes. Every x86 processor that runs a supported 32-bit
# Windows has SSE2. Floats still return in st(0) as the platform's calling
# convention demands, so the host's ABI is unchanged.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

# -static picks the static libwinpthread as well as libgcc and libstdc++; the
# import libraries of the system DLLs are still used, as they must be.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest runs every test program through wine; the wrapper gives the build tree
# a wine prefix of its own and keeps wine quiet.
get_filename_component(KVRES_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR
  ${KVRES_SOURCE_ROOT}/tools/windows/wine-run.sh --prefix ${CMAKE_BINARY_DIR}/wineprefix)
