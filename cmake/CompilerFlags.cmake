# Flags shared by every target of the project.

# Results are part of the contract, so the arithmetic must round the same way
# on every compiler and target: no fused multiply-adds (GCC contracts a*b+c by
# default), and SSE2 rather than the x87 unit on 32-bit x86, whose 80-bit
# registers round differently.
add_compile_options(-ffp-contract=off)
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86|i[3-6]86|AMD64|x86_64)$")
  add_compile_options(-msse2 -mfpmath=sse)
endif()

if(GLOAM_SANITIZE)
  # float-cast-overflow is not part of GCC's "undefined" group; name it so both
  # compilers catch an out-of-range float-to-int conversion.
  set(GLOAM_SANITIZERS address,undefined,float-cast-overflow)
  add_compile_options(-fsanitize=${GLOAM_SANITIZERS} -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${GLOAM_SANITIZERS} -fno-sanitize-recover=all)
endif()

if(GLOAM_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "GLOAM_FUZZ needs Clang (libFuzzer)")
  endif()
  # Coverage instrumentation for every library the fuzzers reach; only the
  # fuzz targets themselves link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Warnings are errors for our own code only, not for third-party sources that
# the build compiles (GoogleTest).
set(GLOAM_WARNING_FLAGS -Wall -Wextra -Werror)
add_library(gloam_warnings INTERFACE)
target_compile_options(gloam_warnings INTERFACE ${GLOAM_WARNING_FLAGS})

# One static library per subsystem folder under gloam/, installed as
# Gloam::<name> (file libgloam_<name>.a) with its public headers under
# include/gloam/<name>/. Includes read "gloam/geometry/mesh.h" in the tree and
# in a user's project alike; headers left out of HEADERS stay private.
function(gloam_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;HEADERS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  add_library(Gloam::${name} ALIAS ${name})
  target_sources(${name} PUBLIC FILE_SET HEADERS BASE_DIRS ${PROJECT_SOURCE_DIR}
                 FILES ${ARG_HEADERS})
  set_target_properties(${name} PROPERTIES OUTPUT_NAME gloam_${name} EXPORT_NAME ${name})
  target_compile_options(${name} PRIVATE ${GLOAM_WARNING_FLAGS})
  set_property(GLOBAL APPEND PROPERTY GLOAM_LIBRARIES ${name})
endfunction()

# A program of ours that opens windows: the libraries, then the backend
# GLOAM_PLATFORM chose, which brings the window system and OpenGL, after them
# (the linker reads left to right and takes from a library only what the
# objects before it still lack). WIN32 makes a windowed program without a
# console on Windows, and nothing elsewhere.
function(gloam_program name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} WIN32 ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} app render textures ${GLOAM_BACKEND}
                                        gloam_warnings)
endfunction()
