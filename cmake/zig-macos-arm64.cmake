# tovex-build for macOS arm64 (macOS 11 and later; only libSystem linked), with Zig's
# toolchain (zig-common.cmake): cmake -DCMAKE_TOOLCHAIN_FILE=cmake/zig-macos-arm64.cmake ...
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR arm64)
set(TOVEX_ZIG_TARGET aarch64-macos.11.0)
include(${CMAKE_CURRENT_LIST_DIR}/zig-common.cmake)
