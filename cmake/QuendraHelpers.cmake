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
  if(QUENDRA_TESTS)
    add_executable(${QT_NAME} ${QT_SOURCES})
  else()
    add_executable(${QT_NAME} EXCLUDE_FROM_ALL ${QT_SOURCES})
  endif()
  target_link_libraries(${QT_NAME} PRIVATE ${QT_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  # Where a test finds its golden files and the samples: absolute paths that
  # hold whatever the compiler was handed as the source file's name.
  target_compile_definitions(${QT_NAME} PRIVATE QUENDRA_TEST_DIR="${CMAKE_CURRENT_SOURCE_DIR}/tests"
    QUENDRA_SOURCE_ROOT="${CMAKE_SOURCE_DIR}")
  set_target_properties(${QT_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(NOT QUENDRA_TESTS)
    return()
  endif()
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

# quendra_export_folder(TARGET [FOLDER dir] [AS name])
# Gives TARGET an include folder of its own in the build tree that holds one
# link, NAME (default: the folder's own name), to FOLDER (default: the current
# source folder), and makes it the target's public include folder. Headers are
# included as "NAME/Header.h", and a target sees exactly its own folder and
# those of the targets it links: an include of any other folder is not found,
# so the build refuses a dependency that the target list does not have.
function(quendra_export_folder target)
  cmake_parse_arguments(QE "" "FOLDER;AS" "" ${ARGN})
  if(NOT QE_FOLDER)
    set(QE_FOLDER ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  get_filename_component(QE_FOLDER ${QE_FOLDER} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  if(NOT QE_AS)
    get_filename_component(QE_AS ${QE_FOLDER} NAME)
  endif()
  set(dir ${CMAKE_BINARY_DIR}/include/${target})
  file(MAKE_DIRECTORY ${dir})
  file(CREATE_LINK ${QE_FOLDER} ${dir}/${QE_AS} SYMBOLIC)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${dir})
  else()
    target_include_directories(${target} PUBLIC ${dir})
  endif()
endfunction()
