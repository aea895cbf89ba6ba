# Configures and builds a parent project that includes this one with
# add_subdirectory, then converts an example with what it built.
#   cmake -DQMK_SOURCE_DIR=... -DWORK=... -DGENERATOR=... -DCXX=... -P check-subproject.cmake
foreach(v QMK_SOURCE_DIR WORK GENERATOR CXX)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "${v} is not set")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    list(JOIN ARGN " " cmd)
    message(FATAL_ERROR "failed (${rc}): ${cmd}")
  endif()
endfunction()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
run("${CMAKE_COMMAND}" -S "${CMAKE_CURRENT_LIST_DIR}/parent" -B "${WORK}/build"
    -G "${GENERATOR}" "-DCMAKE_CXX_COMPILER=${CXX}" "-DQMK_SOURCE_DIR=${QMK_SOURCE_DIR}")
run("${CMAKE_COMMAND}" --build "${WORK}/build" --parallel 4)

# A subproject builds the core only: the program, the tests and the
# benchmarks are for the converter's own build.
foreach(target quillmark-pro-converter core_tests convert_benchmark)
  file(GLOB_RECURSE found "${WORK}/build/quillmark/${target}")
  if(found)
    message(FATAL_ERROR "the subproject built ${found}")
  endif()
endforeach()

file(COPY "${QMK_SOURCE_DIR}/examples/plus-x.qmkx" DESTINATION "${WORK}")
run("${WORK}/build/convert_one" "${WORK}/plus-x.qmkx")
if(NOT EXISTS "${WORK}/plus-x.qmkp")
  message(FATAL_ERROR "no converted document in ${WORK}")
endif()
file(REMOVE_RECURSE "${WORK}")
