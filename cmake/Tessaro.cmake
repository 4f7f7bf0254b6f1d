# Each source folder is one static library made of the files it holds, so a
# new file needs no build edit.
function(tessaro_folder_library name)
  cmake_parse_arguments(ARG "" "" "EXCLUDE;LINK" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(_ex IN LISTS ARG_EXCLUDE)
    list(FILTER _src EXCLUDE REGEX "/${_ex}$")
  endforeach()
  list(FILTER _src INCLUDE REGEX "\\.cpp$")
  if(_src)
    file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    foreach(_ex IN LISTS ARG_EXCLUDE)
      list(FILTER _src EXCLUDE REGEX "/${_ex}$")
    endforeach()
    add_library(${name} STATIC ${_src})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_LINK})
  else()
    # A folder that holds no code yet still takes part in the link graph.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_LINK})
  endif()
endfunction()

# Every tests/<area>/tst_*.cpp is one Qt Test executable registered with CTest.
# LINK names what the area's tests need when that is less than everything
# (the sanitizer builds then compile only that).
function(tessaro_folder_tests area)
  cmake_parse_arguments(ARG "" "" "LINK" ${ARGN})
  if(NOT ARG_LINK)
    set(ARG_LINK tessaro_test_support)
  endif()
  file(GLOB _tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
  file(GLOB _helpers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_helper*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*_helper*.h)
  foreach(_t IN LISTS _tests)
    get_filename_component(_n ${_t} NAME_WE)
    set(_target ${area}_${_n})
    add_executable(${_target} ${_t} ${_helpers})
    target_link_libraries(${_target} PRIVATE ${ARG_LINK} Qt6::Test)
    target_include_directories(${_target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_compile_definitions(${_target} PRIVATE
      TESSARO_FIXTURES="${PROJECT_SOURCE_DIR}/tests/fixtures"
      TESSARO_PROGRAM_DIR="${TESSARO_PROGRAM_DIR}"
      TESSARO_BINARY_DIR="${CMAKE_BINARY_DIR}")
    add_test(NAME ${_target} COMMAND ${_target})
    set_tests_properties(${_target} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;TESSARO_DEVICE_ROOT=/nonexistent-tessaro-test-devices"
      TIMEOUT 300)
  endforeach()
endfunction()
