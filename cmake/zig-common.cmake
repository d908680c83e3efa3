# Shared part of the zig-*.cmake toolchain files: cross-compiling tovex-build with Zig's C/C++
# toolchain (clang, libc++, musl, macOS libc headers) from the pinned ziglang wheel
# (tools/zig/zig.lock, `make zig`). The including file sets TOVEX_ZIG_TARGET (a zig target
# triple), CMAKE_SYSTEM_NAME and CMAKE_SYSTEM_PROCESSOR first.
#
# The unpacked wheel is found at $ENV{TOVEX_ZIG_DIR} (the Makefile sets it), else at
# build/zig/ziglang of the source tree. CMake wants one program per tool, so small wrapper
# scripts beside the unpacked wheel call `zig c++`, `zig cc`, `zig ar` and `zig ranlib`; zig's
# own cache of built libraries (libc++, musl, ...) is kept beside them in cache/.
if(DEFINED ENV{TOVEX_ZIG_DIR})
  set(TOVEX_ZIG_DIR $ENV{TOVEX_ZIG_DIR})
else()
  get_filename_component(TOVEX_ZIG_DIR ${CMAKE_CURRENT_LIST_DIR}/../build/zig/ziglang ABSOLUTE)
endif()
if(NOT EXISTS ${TOVEX_ZIG_DIR}/zig)
  message(FATAL_ERROR "no zig at ${TOVEX_ZIG_DIR}/zig: run `make zig` (tools/zig/fetch_zig.py) first")
endif()
get_filename_component(TOVEX_ZIG_WRAP ${TOVEX_ZIG_DIR}/../bin ABSOLUTE)
get_filename_component(TOVEX_ZIG_CACHE ${TOVEX_ZIG_DIR}/../cache ABSOLUTE)
file(STRINGS ${TOVEX_ZIG_DIR}/.tovex-zig TOVEX_ZIG_STAMP LIMIT_COUNT 1)
foreach(tool cc c++ ar ranlib)
  set(script "#!/bin/sh\n# zig ${tool} of the ziglang wheel ${TOVEX_ZIG_STAMP}\n")
  string(APPEND script ": \"\${ZIG_GLOBAL_CACHE_DIR:=${TOVEX_ZIG_CACHE}}\"\n")
  string(APPEND script ": \"\${ZIG_LOCAL_CACHE_DIR:=${TOVEX_ZIG_CACHE}}\"\n")
  string(APPEND script "export ZIG_GLOBAL_CACHE_DIR ZIG_LOCAL_CACHE_DIR\n")
  string(APPEND script "exec \"${TOVEX_ZIG_DIR}/zig\" ${tool} \"$@\"\n")
  set(old "")
  if(EXISTS ${TOVEX_ZIG_WRAP}/zig-${tool})
    file(READ ${TOVEX_ZIG_WRAP}/zig-${tool} old)
  endif()
  if(NOT old STREQUAL script)
    file(WRITE ${TOVEX_ZIG_WRAP}/zig-${tool} "${script}")
    file(CHMOD ${TOVEX_ZIG_WRAP}/zig-${tool} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
         GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  endif()
endforeach()

set(CMAKE_C_COMPILER ${TOVEX_ZIG_WRAP}/zig-cc)
set(CMAKE_CXX_COMPILER ${TOVEX_ZIG_WRAP}/zig-c++)
set(CMAKE_AR ${TOVEX_ZIG_WRAP}/zig-ar CACHE FILEPATH "" FORCE)
set(CMAKE_RANLIB ${TOVEX_ZIG_WRAP}/zig-ranlib CACHE FILEPATH "" FORCE)
set(CMAKE_C_FLAGS_INIT "-target ${TOVEX_ZIG_TARGET}")
set(CMAKE_CXX_FLAGS_INIT "-target ${TOVEX_ZIG_TARGET}")
# Nothing of this machine's libraries or headers: zig brings the target's own.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# No compiler identification and no test programs: CMake links them unoptimised, and for each
# zig would first build the target's C and C++ libraries in a mode of their own (minutes, for
# nothing). The compiler is known: zig 0.15's clang 20, with the GNU command line.
foreach(lang C CXX)
  set(CMAKE_${lang}_COMPILER_ID_RUN TRUE)
  set(CMAKE_${lang}_COMPILER_FORCED TRUE)
  set(CMAKE_${lang}_COMPILER_WORKS TRUE)
  set(CMAKE_${lang}_COMPILER_ID Clang)
  set(CMAKE_${lang}_COMPILER_VERSION 20.1)
  set(CMAKE_${lang}_COMPILER_FRONTEND_VARIANT GNU)
  set(CMAKE_${lang}_STANDARD_COMPUTED_DEFAULT 17)
endforeach()
set(CMAKE_C_STANDARD_COMPUTED_DEFAULT 17)
set(CMAKE_CXX_STANDARD_COMPUTED_DEFAULT 17)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
# Only the builder is built for these targets (no stubs, no tests).
set(TOVEX_BUILDER_ONLY ON CACHE BOOL "" FORCE)
