# One interface target that carries the project's warning flags; every target links it.
add_library(novel_warnings INTERFACE)
target_compile_options(novel_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow=local -Wnon-virtual-dtor
  $<$<BOOL:${NOVEL_WERROR}>:-Werror>)
