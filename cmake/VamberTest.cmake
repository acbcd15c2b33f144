# vamber_add_test(NAME name SOURCES a.cpp ... LIBS lib ... [ENV K=V ...] [LABELS l ...])
# One QTest program per call, run offscreen by ctest.
function(vamber_add_test)
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;ENV;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VAMBER_TEST_BUILD_DIR=${CMAKE_BINARY_DIR};${T_ENV}"
        TIMEOUT 300)
    if(T_LABELS)
        set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()
