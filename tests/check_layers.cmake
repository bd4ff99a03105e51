# Fails when a lower layer includes a header of an upper one:
# nothing under platform/ or widget_contract/ may include the program's
# headers, and the toolkit's core layer includes nothing of the other layers.
file(GLOB_RECURSE lower_files
  ${ROOT}/platform/*.h ${ROOT}/platform/*.cpp
  ${ROOT}/widget_contract/*.h ${ROOT}/widget_contract/*.cpp)
set(bad "")
foreach(f IN LISTS lower_files)
  file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS lines)
    if(line MATCHES "[\"<](settings/|apps/)")
      list(APPEND bad "${f}: ${line}")
    endif()
  endforeach()
endforeach()
file(GLOB_RECURSE core_files ${ROOT}/platform/kalu_ui/core/*.h ${ROOT}/platform/kalu_ui/core/*.cpp)
foreach(f IN LISTS core_files)
  file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS lines)
    if(line MATCHES "[\"<](kalu_ui/(widget|state|layout|render|app|host)|widget_contract/|kalu_actions/)")
      list(APPEND bad "${f}: ${line}")
    endif()
  endforeach()
endforeach()
if(bad)
  string(REPLACE ";" "\n" msg "${bad}")
  message(FATAL_ERROR "layering violation:\n${msg}")
endif()
