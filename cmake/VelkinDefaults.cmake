# Compiler settings shared by every target of the project, also when the
# stand-in library is configured on its own.
include_guard(GLOBAL)

set(CMAKE_CXX_STANDARD 23)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)

# Off for users building from source, so that a newer compiler's new warnings
# do not fail their install; CI and the development workflow turn it on.
option(VELKIN_WERROR "Treat compiler warnings as errors" OFF)
option(VELKIN_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

get_filename_component(VELKIN_SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

# Warnings and source-relative __FILE__ for every target of the project.
function(velkin_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra "-fmacro-prefix-map=${VELKIN_SOURCE_ROOT}/=")
  if(VELKIN_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  # GCC 12 reports a false -Wrestrict inside std::string concatenation at -O3.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(VELKIN_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()
