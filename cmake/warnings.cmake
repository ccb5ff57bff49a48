# Warnings are errors everywhere in the project's own code.
add_library(korvel_warnings INTERFACE)
target_compile_options(korvel_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Werror
  -Wshadow -Wnon-virtual-dtor -Wcast-align -Wnull-dereference -Wdouble-promotion
  -Wformat=2 -Wimplicit-fallthrough -Wvla
  $<$<CXX_COMPILER_ID:GNU>:-Wno-missing-field-initializers>
  # GCC 12 reports a false -Wrestrict inside std::string's operator+ at -O2 (GCC bug 105651).
  $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>
  $<$<CXX_COMPILER_ID:Clang>:-Wno-missing-field-initializers>)
