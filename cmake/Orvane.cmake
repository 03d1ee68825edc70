# Shared build rules of the Orvane tree.

set(ORVANE_WARNINGS -Wall -Wextra -Wno-unused-parameter)

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

# orvane_sources(<out-var>) — every source of the calling folder and its
# sub-folders (C++, headers, forms, resources).
function(orvane_sources out)
  file(GLOB_RECURSE _src CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c
       ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.ui
       ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  set(${out} ${_src} PARENT_SCOPE)
endfunction()

# orvane_qt_library(<name> [LIBS ...]) — a static library of the calling
# folder built with moc/uic/rcc; its folder and the tree root are on the
# include path of everything that links it.
function(orvane_qt_library name)
  cmake_parse_arguments(A "" "" "LIBS;SOURCES" ${ARGN})
  if(A_SOURCES)
    set(_src ${A_SOURCES})
  else()
    orvane_sources(_src)
  endif()
  add_library(${name} STATIC ${_src})
  set_target_properties(${name} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${ORVANE_WARNINGS})
  target_link_libraries(${name} PUBLIC ${A_LIBS})
endfunction()

# orvane_plain_library(<name> [LIBS ...]) — a static library without Qt.
function(orvane_plain_library name)
  cmake_parse_arguments(A "" "" "LIBS;SOURCES" ${ARGN})
  if(A_SOURCES)
    set(_src ${A_SOURCES})
  else()
    orvane_sources(_src)
  endif()
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${ORVANE_WARNINGS})
  target_link_libraries(${name} PUBLIC ${A_LIBS})
endfunction()

# orvane_test(<name> [QT] [LIBS ...] [SOURCES ...]) — a GoogleTest binary of
# the calling tests/ folder; every test in it becomes one ctest entry.
# QT: the binary gets a QApplication (offscreen) and links Qt5::Test.
function(orvane_test name)
  cmake_parse_arguments(A "QT" "" "LIBS;SOURCES;LABELS" ${ARGN})
  if(A_SOURCES)
    set(_src ${A_SOURCES})
  else()
    file(GLOB_RECURSE _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  endif()
  add_executable(${name} ${_src})
  set_target_properties(${name} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
  target_compile_options(${name} PRIVATE ${ORVANE_WARNINGS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE ORVANE_SOURCE_DIR_DEFAULT="${CMAKE_SOURCE_DIR}"
                             ORVANE_BINARY_DIR_DEFAULT="${CMAKE_BINARY_DIR}")
  if(A_QT)
    target_link_libraries(${name} PRIVATE orvane_test_main_qt Qt5::Test ${A_LIBS})
    if(ORVANE_TSAN)
      # Makes Qt's locks visible to ThreadSanitizer (see the file).
      target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support/TsanQtSync.cpp)
      target_link_libraries(${name} PRIVATE ${CMAKE_DL_LIBS})
    endif()
  else()
    target_link_libraries(${name} PRIVATE orvane_test_main ${A_LIBS})
  endif()
  # Discovered tests take single-valued properties only (a list would be cut
  # into separate arguments), so the binaries set their own environment: the
  # Qt main picks the offscreen platform and turns off leak reports, and the
  # source and build paths are compiled in. A test gets one label: "lib" when
  # it is named (those also run under the sanitizers), else the first given.
  set(_label "")
  if(A_LABELS)
    list(GET A_LABELS 0 _label)
    if("lib" IN_LIST A_LABELS)
      set(_label lib)
    endif()
  endif()
  if(_label)
    set(_props LABELS ${_label} TIMEOUT 300)
  else()
    set(_props TIMEOUT 300)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 120
    PROPERTIES ${_props})
endfunction()

include(GoogleTest)

# orvane_bench(<name> [LIBS ...] [SOURCES ...]) — a Google Benchmark program
# of the calling bench/ folder (all its .cpp files unless SOURCES is given).
function(orvane_bench name)
  cmake_parse_arguments(A "" "" "LIBS;SOURCES" ${ARGN})
  if(A_SOURCES)
    set(_src ${A_SOURCES})
  else()
    file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  add_executable(${name} ${_src})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_compile_options(${name} PRIVATE ${ORVANE_WARNINGS})
  target_link_libraries(${name} PRIVATE benchmark::benchmark ${A_LIBS})
endfunction()

# orvane_fuzz_target(<name> SOURCES ... [LIBS ...]) — one libFuzzer target.
function(orvane_fuzz_target name)
  cmake_parse_arguments(A "" "" "LIBS;SOURCES" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_property(GLOBAL APPEND PROPERTY ORVANE_FUZZ_TARGETS ${name})
endfunction()
