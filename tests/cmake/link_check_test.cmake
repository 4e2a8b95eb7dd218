# Runs the link check over link_check/: it must fail naming the path to each
# forbidden link, and pass over a clean link graph.
# cmake -DVASHEL_ROOT=<source> -DWORK=<folder> -P link_check_test.cmake
function(configure result_var output_var checked)
  file(REMOVE_RECURSE ${WORK})
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR}/link_check -B ${WORK}
            -DVASHEL_ROOT=${VASHEL_ROOT} "-DCHECKED=${checked}"
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(${result_var} ${result} PARENT_SCOPE)
  set(${output_var} "${out}${err}" PARENT_SCOPE)
endfunction()

configure(result output "tidy;direct;indirect;conditional;missing")
if(result EQUAL 0)
  message(FATAL_ERROR "forbidden links passed the check:\n${output}")
endif()
foreach(expected
    "direct -> Qt6::Core"
    "indirect -> middle -> Fake::Http -> /usr/lib/libcurl.so.4"
    "conditional -> xcb")
  string(FIND "${output}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the check does not name \"${expected}\":\n${output}")
  endif()
endforeach()
if(output MATCHES "tidy ->|GL")
  message(FATAL_ERROR "the check blames a clean link:\n${output}")
endif()

configure(result output "tidy;missing")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "a clean link graph fails the check:\n${output}")
endif()
file(REMOVE_RECURSE ${WORK})
