# Warning flags for the project's own targets (never for third-party code).
#
#   tarvo_target_warnings(<target>)
#
# -Wall -Wextra -Wshadow -Wconversion always; -Werror too when TARVO_WERROR is ON (CI builds with it).
# -Wconversion reports implicit conversions that may change a value (a double into an integer, a
# 64-bit count into an int); the sign-only conversions between size_t and int64_t that indexing
# is full of (-Wsign-conversion, which clang's -Wconversion would include) lose nothing at the
# sizes this program handles and stay off.

option(TARVO_WERROR "Treat compiler warnings as errors in tarvo's own targets" OFF)

function(tarvo_target_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${TARVO_WERROR}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion
                                             $<$<BOOL:${TARVO_WERROR}>:-Werror>)
    # GCC 12 reports impossible overlaps inside std::string's operator+ when it inlines it
    # (-Wrestrict false positives in libstdc++'s own code, fixed in GCC 13).
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
      target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
  endif()
endfunction()
