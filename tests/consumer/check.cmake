# Builds the consumer project both ways a user would take the library:
# installed from its own source tree into a fresh prefix and found with
# find_package, and added to the consumer's build with add_subdirectory.
# Expects SOURCE_DIR (the repository) and WORK_DIR (emptied first).
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

step(${CMAKE_COMMAND} -S ${consumer} -B ${WORK_DIR}/added -DGLSL_SOURCE_DIR=${SOURCE_DIR}/glsl)
step(${CMAKE_COMMAND} --build ${WORK_DIR}/added)
step(${WORK_DIR}/added/glsl_consumer)
