# One shared library per client folder: every .cpp/.h/.qrc of the folder belongs to it. Shared,
# because the web pages' library is loaded while the client runs and must use the very same
# window, state and service code the executable already has. They all sit next to the
# executable, in the build tree as where they are installed, and find each other there.
function(add_client_library name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  list(FILTER sources INCLUDE REGEX "\\.(cpp|h|qrc)$")
  add_library(${name} SHARED ${sources})
  set_target_properties(${name} PROPERTIES
    OUTPUT_NAME stock-alert-${name}
    LIBRARY_OUTPUT_DIRECTORY ${CLIENT_OUTPUT_DIRECTORY}
    BUILD_WITH_INSTALL_RPATH ON
    INSTALL_RPATH "$ORIGIN")
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  target_compile_options(${name} PRIVATE -Wall -Wextra)
  # The one list of the client's libraries: the package installs what is named here.
  set_property(GLOBAL APPEND PROPERTY STOCK_ALERT_CLIENT_LIBRARIES ${name})
endfunction()

# A Qt Test program run by CTest. ENV adds environment entries (e.g. QT_QPA_PLATFORM=offscreen);
# XVFB runs it on an Xvfb display of its own for tests that need a real display.
function(add_qt_test name)
  cmake_parse_arguments(ARG "XVFB" "TIMEOUT" "SOURCES;DEPENDS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_DEPENDS})
  if(ARG_XVFB)
    add_test(NAME ${name} COMMAND ${PROJECT_SOURCE_DIR}/tests/support/run-on-xvfb 1920x1080x24 $<TARGET_FILE:${name}>)
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  set(env QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 ${ARG_ENV})
  if(ARG_XVFB)
    list(FILTER env EXCLUDE REGEX "^QT_QPA_PLATFORM=")
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}")
  if(ARG_TIMEOUT)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  else()
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  endif()
endfunction()
