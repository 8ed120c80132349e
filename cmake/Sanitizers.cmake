# The checked build: AddressSanitizer and UndefinedBehaviorSanitizer on every target (tests and the
# libraries of the project alike), and the libFuzzer targets of fuzz/ beside the tests.
#
#   TARVO_SANITIZE=ON   -fsanitize=address,undefined; any report ends the program (no recovery)
#   TARVO_BUILD_FUZZ=ON also instruments the code for libFuzzer's coverage feedback and builds
#                       fuzz/ (clang only). `make sanitize` and `make fuzz` share this one build
#                       (build-sanitize/), so the code is compiled once for both.
#
# Included before any target is defined: the flags apply to everything built here.

option(TARVO_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(TARVO_BUILD_FUZZ "Build the libFuzzer targets of fuzz/ (clang)" OFF)

if(TARVO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
endif()

if(TARVO_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TARVO_BUILD_FUZZ needs clang (libFuzzer); configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
