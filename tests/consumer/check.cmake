# Builds the consumer every way a user would take the library: installed
# from its own source tree into a fresh prefix and found with find_package or
# with pkg-config by a plain compiler command, and added to the consumer's
# build with add_subdirectory. Expects SOURCE_DIR (the repository), WORK_DIR
# (emptied first), PKG_CONFIG and CXX (the programs to use).
function(step)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}\n${output}")
  endif()
endfunction()

set(consumer ${SOURCE_DIR}/tests/consumer)
file(REMOVE_RECURSE ${WORK_DIR})

step(${CMAKE_COMMAND} -S ${SOURCE_DIR}/glsl -B ${WORK_DIR}/library)
step(${CMAKE_COMMAND} --build ${WORK_DIR}/library)
step(${CMAKE_COMMAND} --install ${WORK_DIR}/library --prefix ${WORK_DIR}/prefix)
step(${CMAKE_COMMAND} -S ${consumer} -B ${WORK_DIR}/installed -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix
     -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
step(${CMAKE_COMMAND} --build ${WORK_DIR}/installed)
step(${WORK_DIR}/installed/glsl_consumer)

file(GLOB_RECURSE pc_file ${WORK_DIR}/prefix/glsl.pc)
cmake_path(GET pc_file PARENT_PATH pc_dir)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
execute_process(COMMAND ${PKG_CONFIG} --cflags --libs glsl OUTPUT_VARIABLE flags COMMAND_ERROR_IS_FATAL ANY)
separate_arguments(flags UNIX_COMMAND "${flags}")
step(${CXX} ${consumer}/main.cpp ${flags} -o ${WORK_DIR}/glsl_consumer_from_pkg_config)
step(${WORK_DIR}/glsl_consumer_from_pkg_config)

step(${CMAKE_COMMAND} -S ${consumer} -B ${WORK_DIR}/added -DGLSL_SOURCE_DIR=${SOURCE_DIR}/glsl)
step(${CMAKE_COMMAND} --build ${WORK_DIR}/added)
step(${WORK_DIR}/added/glsl_consumer)
