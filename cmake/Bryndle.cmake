# Helpers shared by every folder: our own code builds with warnings as errors.
set(BRYNDLE_WARNINGS -Wall -Wextra -Werror)

function(bryndle_warnings target)
    target_compile_options(${target} PRIVATE ${BRYNDLE_WARNINGS})
endfunction()

# bryndle_library(name SOURCES ... DEPS ...)
function(bryndle_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    bryndle_warnings(${name})
endfunction()

# bryndle_gtest(name SOURCES ... DEPS ...): a GoogleTest binary, each case a ctest test.
function(bryndle_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
    bryndle_warnings(${name})
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "BRYNDLE_SOURCE_DIR=${PROJECT_SOURCE_DIR};BRYNDLE_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()

# bryndle_qttest(name SOURCES ... DEPS ...): a QtTest binary run headless as one ctest test.
function(bryndle_qttest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    find_package(Qt6 REQUIRED COMPONENTS Test Widgets)
    add_executable(${name} ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} Qt6::Test Qt6::Widgets)
    bryndle_warnings(${name})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT
        "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1;BRYNDLE_SOURCE_DIR=${PROJECT_SOURCE_DIR};BRYNDLE_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()
