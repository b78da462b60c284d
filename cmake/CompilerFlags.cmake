# Flags shared by every target of the project.

# Results are part of the contract, so the arithmetic must round the same way
# on every compiler and target: no fused multiply-adds (GCC contracts a*b+c by
# default), and SSE2 rather than the x87 unit on 32-bit x86, whose 80-bit
# registers round differently.
add_compile_options(-ffp-contract=off)
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86|i[3-6]86|AMD64|x86_64)$")
  add_compile_options(-msse2 -mfpmath=sse)
endif()

if(ENGINE_SANITIZE)
  # float-cast-overflow is not part of GCC's "undefined" group; name it so both
  # compilers catch an out-of-range float-to-int conversion.
  set(ENGINE_SANITIZERS address,undefined,float-cast-overflow)
  add_compile_options(-fsanitize=${ENGINE_SANITIZERS} -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${ENGINE_SANITIZERS} -fno-sanitize-recover=all)
endif()

if(ENGINE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "ENGINE_FUZZ needs Clang (libFuzzer)")
  endif()
  # Coverage instrumentation for every library the fuzzers reach; only the
  # fuzz targets themselves link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Warnings are errors for our own code only, not for third-party sources that
# the build compiles (GoogleTest).
add_library(engine_warnings INTERFACE)
target_compile_options(engine_warnings INTERFACE -Wall -Wextra -Werror)

# One static library per subsystem folder, with the project root as include
# root so that includes read "geometry/mesh.h".
function(engine_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE engine_warnings)
endfunction()
