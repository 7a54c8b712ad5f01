# One place for the compiler policy of our own targets: warnings are errors.
# Outside headers (Qt, Loki, Boost, GoogleTest) are included as system headers,
# so their warnings never fail our build.

set(SU_WARNINGS
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
  -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough -Wnull-dereference
  -Werror)

option(SU_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(SU_TSAN "Build with ThreadSanitizer" OFF)

if(SU_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(SU_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "SU_FUZZ needs clang (libFuzzer): -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang")
  endif()
  # Everything is instrumented for coverage; only the fuzz executables get libFuzzer's main.
  add_compile_options(-fsanitize=address,undefined,fuzzer-no-link -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(SU_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# su_target_policy(target): our warnings and include root for a target of this project.
function(su_target_policy target)
  target_compile_options(${target} PRIVATE ${SU_WARNINGS})
endfunction()

# su_library(name SOURCES ... [DEPS ...] [PRIVATE_DEPS ...])
# One static library per source folder; headers are included as "folder/Header.h".
function(su_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  su_target_policy(${name})
endfunction()
