# link_atomic_if_needed(<target>): links libatomic into <target> when the toolchain turns 64-bit atomic
# operations into library calls (some 32-bit targets) instead of instructions.
include_guard(GLOBAL)
include(CheckCXXSourceCompiles)

set(_atomic64_probe [=[
#include <atomic>
#include <cstdint>
std::atomic<uint64_t> counter{0};
int main() { return static_cast<int>(counter.fetch_add(1)); }
]=])
check_cxx_source_compiles("${_atomic64_probe}" ATOMIC64_WITHOUT_LIBATOMIC)

function(link_atomic_if_needed target)
  if(NOT ATOMIC64_WITHOUT_LIBATOMIC)
    target_link_libraries(${target} PRIVATE atomic)
  endif()
endfunction()
