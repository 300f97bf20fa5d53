# systemd-analyze verify on an instance of the service. It answers 0 for unknown keys and values
# it cannot parse (it only says it ignores them), so anything it says fails the check too.
execute_process(COMMAND ${ANALYZE} verify --man=no ${UNIT_DIR}/ondrel-cli@COM2.service
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0 OR NOT "${out}${err}" STREQUAL "")
  message(FATAL_ERROR "systemd-analyze verify (${result}):\n${out}${err}")
endif()
