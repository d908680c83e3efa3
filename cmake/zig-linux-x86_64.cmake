# tovex-build for Linux x86_64: static, musl (runs on any x86_64 Linux), with Zig's
# toolchain (zig-common.cmake): cmake -DCMAKE_TOOLCHAIN_FILE=cmake/zig-linux-x86_64.cmake ...
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOVEX_ZIG_TARGET x86_64-linux-musl)
include(${CMAKE_CURRENT_LIST_DIR}/zig-common.cmake)
