# What the project's own targets need to be right on a 32-bit target as well:
#
#   tarvo_target_portability(<target>)
#
# - _FILE_OFFSET_BITS=64 on 32-bit targets (public, so every object agrees): off_t, fopen and stat handle files
#   past 2 GiB, as a large portfolio's warehouse and scoreboard are. 64-bit targets have them already.
# - libatomic where 64-bit atomic operations are library calls.
# - -Wno-psabi on ARM: GCC's note that GCC 7.1 changed how some arguments are passed concerns only objects
#   built before that.
include_guard(GLOBAL)
include(LinkAtomic)

function(tarvo_target_portability target)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_compile_definitions(${target} PUBLIC _FILE_OFFSET_BITS=64)
  endif()
  link_atomic_if_needed(${target})
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^arm" AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PUBLIC -Wno-psabi)
  endif()
endfunction()
