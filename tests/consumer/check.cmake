# Builds the consumer every way a user would take the library: installed
# from its own source tree into a fresh prefix and found with find_package or
# with pkg-config by a plain compiler command (the .pc file where it was
# installed, linked from elsewhere, and installed into an absolute library
# folder), and added to the consumer's build with add_subdirectory. Expects
# SOURCE_DIR (the repository), WORK_DIR (emptied first), PKG_CONFIG and CXX
# (the programs to use).
function(step)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}\n${output}")
  endif()
endfunction()

set(consumer ${SOURCE_DIR}/tests/consumer)
file(REMOVE_RECURSE ${WORK_DIR})

# A build folder whose path has a blank, installed into a prefix given
# relative to the folder the install runs in, as `--prefix install` is. The
# library's own tests are left out: the suite runs them already.
set(library "${WORK_DIR}/library build")
step(${CMAKE_COMMAND} -S ${SOURCE_DIR}/glsl -B ${library} -DBUILD_TESTING=OFF)
step(${CMAKE_COMMAND} --build ${library})
step(${CMAKE_COMMAND} --install ${library} --prefix prefix WORKING_DIRECTORY ${WORK_DIR})
step(${CMAKE_COMMAND} -S ${consumer} -B ${WORK_DIR}/installed -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix
     -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
step(${CMAKE_COMMAND} --build ${WORK_DIR}/installed)
step(${WORK_DIR}/installed/glsl_consumer)

# Compiles and runs the consumer with what pkg-config says for the glsl.pc
# that it finds in `pc_dir`.
function(build_with_pkg_config name pc_dir)
  set(ENV{PKG_CONFIG_PATH} ${pc_dir})
  execute_process(COMMAND ${PKG_CONFIG} --cflags --libs glsl OUTPUT_VARIABLE flags COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  step(${CXX} ${consumer}/main.cpp ${flags} -o ${WORK_DIR}/${name})
  step(${WORK_DIR}/${name})
endfunction()

file(GLOB_RECURSE pc_file ${WORK_DIR}/prefix/glsl.pc)
cmake_path(GET pc_file PARENT_PATH pc_dir)
build_with_pkg_config(glsl_consumer_from_pkg_config ${pc_dir})
# Linked into a folder of its own, as stow and many ~/.local set-ups do.
file(MAKE_DIRECTORY ${WORK_DIR}/linked)
file(CREATE_LINK ${pc_file} ${WORK_DIR}/linked/glsl.pc SYMBOLIC)
build_with_pkg_config(glsl_consumer_from_linked_pc ${WORK_DIR}/linked)
# The library installed into an absolute folder outside the prefix.
step(${CMAKE_COMMAND} -S ${SOURCE_DIR}/glsl -B ${library} -DCMAKE_INSTALL_LIBDIR=${WORK_DIR}/libraries)
step(${CMAKE_COMMAND} --install ${library} --prefix ${WORK_DIR}/prefix-of-headers)
build_with_pkg_config(glsl_consumer_with_absolute_libdir ${WORK_DIR}/libraries/pkgconfig)

step(${CMAKE_COMMAND} -S ${consumer} -B ${WORK_DIR}/added -DGLSL_SOURCE_DIR=${SOURCE_DIR}/glsl)
step(${CMAKE_COMMAND} --build ${WORK_DIR}/added)
step(${WORK_DIR}/added/glsl_consumer)
