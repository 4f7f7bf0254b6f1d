# A static library of one source folder: its sources listed by the folder's
# CMakeLists.txt, its headers found from src/ ("settings/SettingsFile.h").
function(tessaro_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINK" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LINK})
endfunction()

# One Qt Test executable registered with CTest as <area>_<name>:
#   tessaro_test(area tst_name [SOURCES helper.cpp ...] [LINK targets ...] [LABELS ...] [COST seconds])
# LINK names what the test needs (default: the whole program, the simulator
# and the exchange test support); the sanitizer builds then compile only that.
function(tessaro_test area name)
  cmake_parse_arguments(ARG "" "COST" "SOURCES;LINK;LABELS" ${ARGN})
  if(NOT ARG_LINK)
    set(ARG_LINK tessaro_test_support)
  endif()
  set(_target ${area}_${name})
  add_executable(${_target} ${name}.cpp ${ARG_SOURCES})
  target_link_libraries(${_target} PRIVATE ${ARG_LINK} Qt6::Test)
  target_include_directories(${_target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_options(${_target} PRIVATE -include ${PROJECT_SOURCE_DIR}/tests/FinePolling.h)
  target_compile_definitions(${_target} PRIVATE
    TESSARO_FIXTURES="${PROJECT_SOURCE_DIR}/tests/fixtures"
    TESSARO_PROGRAM_DIR="${TESSARO_PROGRAM_DIR}"
    TESSARO_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_test(NAME ${_target} COMMAND ${_target})
  set_tests_properties(${_target} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;TESSARO_DEVICE_ROOT=/nonexistent-tessaro-test-devices"
    TIMEOUT 300)
  if(ARG_LABELS)
    set_tests_properties(${_target} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
  # A test that runs for seconds says so: a build that has no run times of
  # its own yet (a fresh clone) then starts it first, and ctest -j keeps
  # every slot busy to the end.
  if(ARG_COST)
    set_tests_properties(${_target} PROPERTIES COST ${ARG_COST})
  endif()
endfunction()

# Everything the package ships is built from src/: fails the configuration
# when a shipped target links, directly or through another library, a target
# defined outside src/ (tools/ generators, tests/ support).
function(tessaro_check_shipped)
  foreach(_t IN LISTS ARGN)
    set(_seen)
    set(_todo ${_t})
    while(_todo)
      list(POP_FRONT _todo _cur)
      if(NOT TARGET ${_cur} OR _cur IN_LIST _seen)
        continue()
      endif()
      list(APPEND _seen ${_cur})
      get_target_property(_imported ${_cur} IMPORTED)
      if(_imported)
        continue()
      endif()
      get_target_property(_dir ${_cur} SOURCE_DIR)
      string(FIND "${_dir}/" "${PROJECT_SOURCE_DIR}/src/" _at)
      if(NOT _at EQUAL 0)
        message(FATAL_ERROR "${_t} links ${_cur}, which is built from ${_dir}, outside src/")
      endif()
      get_target_property(_links ${_cur} LINK_LIBRARIES)
      get_target_property(_ilinks ${_cur} INTERFACE_LINK_LIBRARIES)
      foreach(_l IN LISTS _links _ilinks)
        if(_l AND NOT _l MATCHES "^\\$<")
          list(APPEND _todo ${_l})
        endif()
      endforeach()
    endwhile()
  endforeach()
endfunction()
