# Helpers shared by every folder. Our own code builds with warnings; the project's scripts and CI
# make them errors (BRYNDLE_WERROR), while a user's build on another compiler or optimisation
# level does not fail on a warning.
set(BRYNDLE_WARNINGS -Wall -Wextra)
if(BRYNDLE_WERROR)
    list(APPEND BRYNDLE_WARNINGS -Werror)
endif()

function(bryndle_warnings target)
    target_compile_options(${target} PRIVATE ${BRYNDLE_WARNINGS})
endfunction()

# Rendering a large thread page allocates and frees millions of small nodes, where glibc's
# allocator takes about a third of the transform's time; tcmalloc takes far less. For the
# client's executables only: a library must not choose the process's allocator.
function(bryndle_fast_allocator target)
    if(BRYNDLE_TCMALLOC)
        # Nothing calls it by name, so keep it against --as-needed.
        target_link_libraries(${target} PRIVATE "-Wl,--push-state,--no-as-needed"
                              PkgConfig::TCMALLOC "-Wl,--pop-state")
    endif()
endfunction()

# bryndle_library(name SOURCES ... DEPS ...)
function(bryndle_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    bryndle_warnings(${name})
endfunction()

# Tests carry the name of their folder below tests/ as a label (ctest -L config), and the Qt
# tests the label ui as well: the test script runs those again under the users' locales.
function(bryndle_test_labels out)
    get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
    set(${out} ${folder} ${ARGN} PARENT_SCOPE)
endfunction()

# bryndle_gtest(name SOURCES ... DEPS ...): a GoogleTest binary, each case a ctest test.
function(bryndle_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
    bryndle_warnings(${name})
    bryndle_test_labels(labels)
    # One value per property: the discovered tests' properties are written out as separate
    # arguments, so a list value would split into a stray property name.
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS ${labels} ENVIRONMENT "BRYNDLE_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
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
    bryndle_test_labels(labels ui)
    set_tests_properties(${name} PROPERTIES LABELS "${labels}" ENVIRONMENT
        "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1;BRYNDLE_SOURCE_DIR=${PROJECT_SOURCE_DIR};BRYNDLE_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()

# Fails when a folder beside the current list file has a CMakeLists.txt but is not among the
# given ones, so that a new folder is added to the list above instead of silently left out.
function(bryndle_check_folders)
    file(GLOB entries RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
    foreach(entry ${entries})
        get_filename_component(dir ${entry} DIRECTORY)
        if(NOT dir IN_LIST ARGN)
            message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}/${dir} is not part of the build: "
                                "add it to the folder list in ${CMAKE_CURRENT_LIST_FILE}")
        endif()
    endforeach()
endfunction()
