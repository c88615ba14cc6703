# Shared build rules: one library per source folder, one test executable per library.

set(VISTRELLE_WARNINGS -Wall -Wextra)

# AddressSanitizer (with its leak checker) and UndefinedBehaviorSanitizer for every target; meant for a build
# folder of its own (`./scripts/test --sanitize`). Undefined behaviour stops the program, so that a test fails.
option(VISTRELLE_SANITIZE "Build with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer" OFF)
if(VISTRELLE_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# Qt's headers dominate compile time; every library and test shares one precompiled set.
set(VISTRELLE_PCH_HEADERS <QString> <QVariant> <QVariantMap> <QImage> <QDateTime> <QColor>
    <functional> <memory> <mutex> <vector>)
option(VISTRELLE_USE_PCH "Precompile the common Qt and standard headers" ON)
if(VISTRELLE_USE_PCH AND CCACHE_PROGRAM)
    # ccache can only reuse results built with a precompiled header when told to look past it. The setting
    # must reach every compile, not only this configure step, so the launcher carries it.
    set(sloppiness "CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime")
    set(CMAKE_CXX_COMPILER_LAUNCHER ${CMAKE_COMMAND} -E env ${sloppiness} ${CCACHE_PROGRAM})
    set(CMAKE_C_COMPILER_LAUNCHER ${CMAKE_COMMAND} -E env ${sloppiness} ${CCACHE_PROGRAM})
endif()

# vistrelle_library(<name> <folder> [EXCLUDE <subfolder>...] [DEPS ...])
# Builds every .cpp under <folder> into the static library vistrelle_<name>. Subfolders named by EXCLUDE are
# libraries of their own (so that only what needs their system libraries links them).
function(vistrelle_library name folder)
    cmake_parse_arguments(ARG "" "" "EXCLUDE;DEPS" ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${folder}/*.cpp ${folder}/*.h)
    foreach(sub IN LISTS ARG_EXCLUDE)
        list(FILTER sources EXCLUDE REGEX "^${CMAKE_CURRENT_SOURCE_DIR}/${folder}/${sub}/")
    endforeach()
    add_library(vistrelle_${name} STATIC ${sources})
    target_include_directories(vistrelle_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_compile_options(vistrelle_${name} PRIVATE ${VISTRELLE_WARNINGS})
    target_link_libraries(vistrelle_${name} PUBLIC ${ARG_DEPS})
    set_target_properties(vistrelle_${name} PROPERTIES AUTOMOC ON)
    if(VISTRELLE_USE_PCH)
        target_precompile_headers(vistrelle_${name} PRIVATE ${VISTRELLE_PCH_HEADERS})
    endif()
endfunction()

# vistrelle_tests(<name> <folder> [WIDGETS] [DEPS ...] [SLOW <gtest pattern>...])
# Builds every .cpp under <folder> into vistrelle_<name>_tests and registers its cases with ctest. WIDGETS
# gives the tests a widgets application object. Cases matching a SLOW pattern (end-to-end runs, real child
# programs) carry the label "slow", so that `ctest -LE slow` leaves them out.
function(vistrelle_tests name folder)
    cmake_parse_arguments(ARG "WIDGETS" "" "DEPS;SLOW" ${ARGN})
    set(main vistrelle_test_main)
    if(ARG_WIDGETS)
        set(main vistrelle_widget_test_main)
    endif()
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${folder}/*.cpp ${folder}/*.h)
    if(NOT sources)
        return()
    endif()
    add_executable(vistrelle_${name}_tests ${sources})
    target_compile_options(vistrelle_${name}_tests PRIVATE ${VISTRELLE_WARNINGS})
    target_include_directories(vistrelle_${name}_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(vistrelle_${name}_tests PRIVATE ${ARG_DEPS} ${main} vistrelle_test_support GTest::gtest)
    set_target_properties(vistrelle_${name}_tests PROPERTIES AUTOMOC ON)
    if(VISTRELLE_USE_PCH)
        target_precompile_headers(vistrelle_${name}_tests PRIVATE ${VISTRELLE_PCH_HEADERS} <gtest/gtest.h>)
    endif()
    if(NOT ARG_SLOW)
        gtest_discover_tests(vistrelle_${name}_tests
            DISCOVERY_TIMEOUT 60
            PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VISTRELLE_RESOURCES=${VISTRELLE_RESOURCE_DIR}")
        return()
    endif()
    list(JOIN ARG_SLOW ":" slow)
    gtest_discover_tests(vistrelle_${name}_tests
        DISCOVERY_TIMEOUT 60
        TEST_FILTER "${slow}"
        PROPERTIES LABELS slow
            ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VISTRELLE_RESOURCES=${VISTRELLE_RESOURCE_DIR}")
    gtest_discover_tests(vistrelle_${name}_tests
        DISCOVERY_TIMEOUT 60
        TEST_FILTER "-${slow}"
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VISTRELLE_RESOURCES=${VISTRELLE_RESOURCE_DIR}")
endfunction()
