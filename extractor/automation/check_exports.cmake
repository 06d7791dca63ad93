# Fails the build when the module exports anything but the four server
# functions by their plain names: a decorated duplicate (name@n) or a leaked
# symbol would let clients bind to names that are not part of the server.
# Usage: cmake -DOBJDUMP=... -DMODULE=... -P check_exports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${MODULE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot read the exports of ${MODULE}")
endif()
# Square brackets would group list elements: take them out first.
string(REPLACE "[" "<" dump "${dump}")
string(REPLACE "]" ">" dump "${dump}")
string(REGEX MATCH "<Ordinal/Name Pointer> Table\n([^\n]+\n)*" table "${dump}")
string(REGEX MATCHALL "\n[^\n]*<[ 0-9]+> [^\n]+" rows "${table}")
set(names "")
foreach(row IN LISTS rows)
  string(REGEX REPLACE "^\n[^\n]*<[ 0-9]+> " "" name "${row}")
  list(APPEND names "${name}")
endforeach()
set(expected DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "${MODULE} exports [${names}], expected exactly [${expected}]")
endif()
