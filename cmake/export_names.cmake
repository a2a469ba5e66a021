# orvik_export_names(OUT): writes a C++ include file with one {"plain", "decorated"} pair per export of
# this target's .def file, for programs that bind to the DLL by name.
function(orvik_export_names out)
  file(STRINGS ${CMAKE_SOURCE_DIR}/api/orvik-${ORVIK_ARCH}.def def_lines REGEX "=")
  set(pairs "")
  foreach(line IN LISTS def_lines)
    string(STRIP "${line}" line)
    string(REGEX MATCH "^[^=]*" decorated "${line}")
    string(REGEX MATCH "[^=]*$" plain "${line}")
    string(APPEND pairs "{\"${plain}\", \"${decorated}\"},\n")
  endforeach()
  file(GENERATE OUTPUT ${out} CONTENT "${pairs}")
endfunction()
