# The hardening Debian builds its packages with, for the release build the package comes from:
# checked copies of the libc calls whose sizes the compiler knows, a canary in every function
# with an array or an address taken, relocations resolved at start-up and made read-only, and
# position-independent programs. The sanitizer and fuzz builds do their own checking and stay
# without it: _FORTIFY_SOURCE wants optimised code, and the sanitizers replace the same calls.
if(NIMBREL_SANITIZE OR NIMBREL_TSAN OR NIMBREL_FUZZ)
  message(FATAL_ERROR "NIMBREL_HARDEN is for the release build, not with a sanitizer")
endif()

add_compile_definitions(_FORTIFY_SOURCE=2)
add_compile_options(-fstack-protector-strong)
add_link_options(LINKER:-z,relro LINKER:-z,now)

set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported(LANGUAGES C CXX)
