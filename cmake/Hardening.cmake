# Hardening as Debian builds its own packages: checked libc calls where the compiler can see
# buffer sizes, and a global offset table that is read-only once the program runs.
# _FORTIFY_SOURCE needs optimisation (not in Debug) and would bypass the sanitizers' own
# interceptors, so those builds go without it.
if(NOT CMAKE_BUILD_TYPE STREQUAL "Debug" AND NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  add_compile_definitions(_FORTIFY_SOURCE=2)
endif()
add_link_options(LINKER:-z,relro LINKER:-z,now)
