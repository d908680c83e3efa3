# tovex-build for Linux aarch64: static, musl (runs on any aarch64 Linux), with Zig's
# toolchain (zig-common.cmake): cmake -DCMAKE_TOOLCHAIN_FILE=cmake/zig-linux-aarch64.cmake ...
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(TOVEX_ZIG_TARGET aarch64-linux-musl)
include(${CMAKE_CURRENT_LIST_DIR}/zig-common.cmake)
