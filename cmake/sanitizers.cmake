# Address and undefined-behaviour checks for every target of the project: the
# library, the application, the executable, the tests and their helpers.
# A finding ends the process with an error, so the test that met it fails.
option(QUORVEL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(NOT QUORVEL_SANITIZE)
  return()
endif()

add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
# The instrumentation makes GCC warn of uninitialised values where there are none.
add_compile_options(-Wno-maybe-uninitialized)
add_link_options(-fsanitize=address,undefined)

add_library(quorvel_keep_modules OBJECT ${CMAKE_CURRENT_LIST_DIR}/keep_modules.c)
link_libraries($<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:quorvel_keep_modules>)
add_link_options($<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:LINKER:--export-dynamic-symbol=dlclose>)

# The tests start the real program and helper programs as children, so the
# options go into the environment of ctest itself, which every test and every
# child inherits. The leak suppressions name the GL driver, the X libraries and
# GLFW only: a leak in the project's own code still fails.
# intercept_tls_get_addr=0: the runtime's record of the driver's dynamic
# thread-locals can be garbage that crashes the leak scan (docs/reliability.md).
set(QUORVEL_LSAN_SUPPRESSIONS ${PROJECT_SOURCE_DIR}/tests/suppressions/lsan.supp)
file(WRITE ${CMAKE_BINARY_DIR}/sanitizer_environment.cmake
  "set(ENV{ASAN_OPTIONS} \"detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:intercept_tls_get_addr=0\")\n"
  "set(ENV{UBSAN_OPTIONS} \"print_stacktrace=1:halt_on_error=1\")\n"
  "set(ENV{LSAN_OPTIONS} \"suppressions=${QUORVEL_LSAN_SUPPRESSIONS}:print_suppressions=0\")\n")
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_BINARY_DIR}/sanitizer_environment.cmake)
