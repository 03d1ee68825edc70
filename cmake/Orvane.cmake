# Shared build rules of the Orvane tree.
#
# Every library, test, benchmark and fuzz program is made by one of the
# helpers below, and every helper takes its sources by the one rule of
# orvane_sources. Includes are rooted at the tree ("core/QUserCanMsg.h",
# "tests/support/TempWorkDir.h", "kemsig/include/kemsig.h"): the tree root is
# the only include directory a library hands on to what links it.

set(ORVANE_WARNINGS -Wall -Wextra -Wno-unused-parameter)
if(ORVANE_WERROR)
  list(APPEND ORVANE_WARNINGS -Werror)
endif()

if(ORVANE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# ThreadSanitizer, for the tests of the threaded layers (scripts/test.sh
# builds and runs only those in build-tsan).
if(ORVANE_TSAN)
  if(ORVANE_SANITIZE)
    message(FATAL_ERROR "ORVANE_TSAN and ORVANE_SANITIZE exclude each other")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

if(ORVANE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "ORVANE_FUZZ needs clang (CXX=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

include(GoogleTest)

# orvane_sources(<out-var>) — every source of the calling folder and of its
# sub-folders (C, C++, headers, forms, resource files), except the sub-folders
# that have a CMakeLists.txt of their own: those build a program or library
# of their own (a gallery, a stand-in library of the tests) and add it there.
function(orvane_sources out)
  set(_here ${CMAKE_CURRENT_SOURCE_DIR})
  file(GLOB_RECURSE _all CONFIGURE_DEPENDS
       ${_here}/*.cpp ${_here}/*.c ${_here}/*.h ${_here}/*.ui ${_here}/*.qrc)
  file(GLOB_RECURSE _own CONFIGURE_DEPENDS ${_here}/*/CMakeLists.txt)
  set(_src)
  foreach(_f ${_all})
    set(_keep TRUE)
    foreach(_cml ${_own})
      get_filename_component(_dir ${_cml} DIRECTORY)
      string(FIND "${_f}" "${_dir}/" _at)
      if(_at EQUAL 0)
        set(_keep FALSE)
        break()
      endif()
    endforeach()
    if(_keep)
      list(APPEND _src ${_f})
    endif()
  endforeach()
  set(${out} ${_src} PARENT_SCOPE)
endfunction()

# The subsystem a tests/, bench/ or fuzz/ folder belongs to: its own name.
function(_orvane_subsystem out)
  get_filename_component(_name ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(${out} ${_name} PARENT_SCOPE)
endfunction()

# A static library of the given sources with the tree's include root and
# warnings; LIBS are handed on to whatever links it.
function(_orvane_static_library name)
  cmake_parse_arguments(A "" "" "LIBS;SOURCES" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${ORVANE_WARNINGS})
  target_link_libraries(${name} PUBLIC ${A_LIBS})
endfunction()

# Libraries take their sources by the one rule; a list handed in is a mistake.
function(_orvane_no_source_lists name sources)
  if(sources)
    message(FATAL_ERROR "${name}: a library takes every source of its folder (orvane_sources); "
                        "put a separate program or library in a sub-folder with its own CMakeLists.txt")
  endif()
endfunction()

# orvane_qt_library(<name> [LIBS ...]) — the static library of the calling
# folder (orvane_sources), built with moc, uic and rcc.
function(orvane_qt_library name)
  cmake_parse_arguments(A "" "" "LIBS;SOURCES" ${ARGN})
  _orvane_no_source_lists(${name} "${A_SOURCES}")
  orvane_sources(_src)
  _orvane_static_library(${name} SOURCES ${_src} LIBS ${A_LIBS})
  set_target_properties(${name} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
endfunction()

# orvane_plain_library(<name> [LIBS ...]) — the same without Qt.
function(orvane_plain_library name)
  cmake_parse_arguments(A "" "" "LIBS;SOURCES" ${ARGN})
  _orvane_no_source_lists(${name} "${A_SOURCES}")
  orvane_sources(_src)
  _orvane_static_library(${name} SOURCES ${_src} LIBS ${A_LIBS})
endfunction()

# orvane_c_shared_library(<name> CORE <core> MAP <version-script>
#                         [ENTRY <sources>...] [LIBS ...])
# One of the tree's C libraries (kemsig, binlog, kemusb): the static library
# <core> of every source of the calling folder except ENTRY (the tests,
# benchmarks and fuzzers link it and call the exported functions directly),
# and lib<name>.so made of the same objects plus ENTRY (the library's load
# and unload hooks, where it has any). Nothing but what the version script
# names is exported, and the shared library may leave no symbol undefined
# (except a clang sanitizer build's runtime symbols).
function(orvane_c_shared_library name)
  cmake_parse_arguments(A "" "CORE;MAP" "ENTRY;LIBS" ${ARGN})
  if(NOT A_CORE OR NOT A_MAP)
    message(FATAL_ERROR "orvane_c_shared_library(${name}): CORE and MAP are required")
  endif()
  orvane_sources(_src)
  set(_entry)
  foreach(_e ${A_ENTRY})
    get_filename_component(_abs ${_e} ABSOLUTE)
    list(APPEND _entry ${_abs})
  endforeach()
  if(_entry)
    list(REMOVE_ITEM _src ${_entry})
  endif()
  get_filename_component(_map ${A_MAP} ABSOLUTE)

  _orvane_static_library(${A_CORE} SOURCES ${_src} LIBS ${A_LIBS})
  set_target_properties(${A_CORE} PROPERTIES
    C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)

  add_library(${name} SHARED ${_entry} $<TARGET_OBJECTS:${A_CORE}>)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${ORVANE_WARNINGS})
  target_link_libraries(${name} PRIVATE ${A_LIBS})
  set_target_properties(${name} PROPERTIES
    C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${_map})
  # The C++ runtime's own symbols stay out of the export table as well.
  target_link_options(${name} PRIVATE -Wl,--exclude-libs,ALL -Wl,--version-script=${_map})
  # clang leaves the sanitizer runtime to the program that loads a sanitized
  # library, so there its runtime symbols are undefined by design.
  if(NOT (CMAKE_CXX_COMPILER_ID MATCHES "Clang" AND (ORVANE_SANITIZE OR ORVANE_FUZZ)))
    target_link_options(${name} PRIVATE -Wl,--no-undefined)
  endif()
endfunction()

# orvane_test(<name> [QT] [LIBS ...] [SOURCES ...] [LABELS ...]) — the
# GoogleTest binary of the calling tests/ folder (orvane_sources unless
# SOURCES is given); every test in it becomes one ctest entry.
# QT: the binary gets a QApplication (offscreen), links Qt5::Test and the
# prompt test double QUserPromptScript (tests/support).
# Labels: those given, plus the folder's name (the subsystem) when missing.
function(orvane_test name)
  cmake_parse_arguments(A "QT" "" "LIBS;SOURCES;LABELS" ${ARGN})
  if(A_SOURCES)
    set(_src ${A_SOURCES})
  else()
    orvane_sources(_src)
  endif()
  add_executable(${name} ${_src})
  set_target_properties(${name} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
  target_compile_options(${name} PRIVATE ${ORVANE_WARNINGS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE ORVANE_SOURCE_DIR_DEFAULT="${CMAKE_SOURCE_DIR}"
                             ORVANE_BINARY_DIR_DEFAULT="${CMAKE_BINARY_DIR}")
  if(A_QT)
    target_link_libraries(${name} PRIVATE orvane_test_main_qt orvane_test_prompt Qt5::Test ${A_LIBS})
    if(ORVANE_TSAN)
      # Makes Qt's locks visible to ThreadSanitizer (see the file).
      target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support/TsanQtSync.cpp)
      target_link_libraries(${name} PRIVATE ${CMAKE_DL_LIBS})
    endif()
  else()
    target_link_libraries(${name} PRIVATE orvane_test_main ${A_LIBS})
  endif()

  _orvane_subsystem(_sub)
  set(_labels ${A_LABELS})
  if(NOT _sub IN_LIST _labels)
    list(APPEND _labels ${_sub})
  endif()
  # The binaries set their own environment (the Qt main picks the offscreen
  # platform and turns off leak reports; the source and build paths are
  # compiled in), so the discovered tests need single-valued properties
  # only. Their labels are a list, which gtest_discover_tests would cut into
  # separate arguments: a ctest script included after the discovered tests
  # sets them on every test the discovery listed (<target>_TESTS).
  # The time-out only ends a test that hangs: the heaviest take some 90 s in
  # the sanitizer build beside 16 busy processes.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 900)
  set(_labels_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
  file(WRITE ${_labels_file}
       "if(DEFINED ${name}_TESTS)\n"
       "  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${_labels}\")\n"
       "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${_labels_file})
endfunction()

# orvane_bench(<name> [LIBS ...]) — the Google Benchmark program of the
# calling bench/ folder (orvane_sources).
function(orvane_bench name)
  cmake_parse_arguments(A "" "" "LIBS" ${ARGN})
  orvane_sources(_src)
  add_executable(${name} ${_src})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_compile_options(${name} PRIVATE ${ORVANE_WARNINGS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE benchmark::benchmark ${A_LIBS})
endfunction()

# orvane_fuzz_target(<name> SOURCES ... [LIBS ...]) — one fuzz target of the
# calling fuzz/ folder, and its replay test "FuzzReplay.<name>" (labels: the
# folder's subsystem and lib), which runs the target over its seed corpus
# fuzz/seeds/<name>/ when there is one.
# Without ORVANE_FUZZ the program is the target's entry point with the replay
# main of fuzz/support (built-in inputs, then the seeds), so every build
# compiles every target and a crash on a seed fails the tests. With
# ORVANE_FUZZ (clang) it is the libFuzzer program, and the test replays the
# seeds through it (-runs=0).
function(orvane_fuzz_target name)
  cmake_parse_arguments(A "" "" "LIBS;SOURCES" ${ARGN})
  set(_seeds ${CMAKE_SOURCE_DIR}/fuzz/seeds/${name})
  if(ORVANE_FUZZ)
    add_executable(${name} ${A_SOURCES})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set_property(GLOBAL APPEND PROPERTY ORVANE_FUZZ_TARGETS ${name})
    if(IS_DIRECTORY ${_seeds})
      set(_args -runs=0 ${_seeds})
    else()
      set(_args -runs=64 -seed=1)
    endif()
  else()
    add_executable(${name} ${A_SOURCES} ${CMAKE_SOURCE_DIR}/fuzz/support/FuzzReplayMain.cpp)
    if(IS_DIRECTORY ${_seeds})
      set(_args ${_seeds})
    else()
      set(_args)
    endif()
  endif()
  target_compile_options(${name} PRIVATE ${ORVANE_WARNINGS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${A_LIBS})

  _orvane_subsystem(_sub)
  add_test(NAME FuzzReplay.${name} COMMAND ${name} ${_args})
  set_tests_properties(FuzzReplay.${name} PROPERTIES LABELS "${_sub};lib" TIMEOUT 300)
endfunction()
