# quendra_test(NAME name SOURCES ... LIBS ... [LABELS unit|integration|gui])
# One GoogleTest executable per folder; every test gets its labels.
function(quendra_test)
  cmake_parse_arguments(QT "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT QT_SOURCES)
    message(FATAL_ERROR "quendra_test ${QT_NAME}: no sources")
  endif()
  if(NOT QT_LABELS)
    set(QT_LABELS unit)
  endif()
  add_executable(${QT_NAME} ${QT_SOURCES})
  target_link_libraries(${QT_NAME} PRIVATE ${QT_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  set_target_properties(${QT_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${QT_NAME}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES LABELS "${QT_LABELS}"
    DISCOVERY_TIMEOUT 60)
endfunction()

# quendra_fuzz(NAME name SOURCES ... LIBS ...): a libFuzzer target, built only with QUENDRA_FUZZ.
function(quendra_fuzz)
  cmake_parse_arguments(QF "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(QUENDRA_FUZZ)
    add_executable(${QF_NAME} ${QF_SOURCES})
    target_link_libraries(${QF_NAME} PRIVATE ${QF_LIBS})
    target_link_options(${QF_NAME} PRIVATE -fsanitize=fuzzer)
    set_target_properties(${QF_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  endif()
endfunction()
