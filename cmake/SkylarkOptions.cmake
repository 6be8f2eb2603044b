# One interface target carries the compile settings of all our own code.
add_library(skylark_options INTERFACE)
target_compile_features(skylark_options INTERFACE cxx_std_20)
target_compile_options(skylark_options INTERFACE -Wall -Wextra -Wpedantic -Werror)
target_compile_definitions(skylark_options INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CAST_FROM_BYTEARRAY
    QT_USE_QSTRINGBUILDER
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_KEYWORDS)

if(SKYLARK_SANITIZE)
    target_compile_options(skylark_options INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(skylark_options INTERFACE -fsanitize=address,undefined)
endif()

if(SKYLARK_FUZZ)
    target_compile_options(skylark_options INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    target_link_options(skylark_options INTERFACE -fsanitize=address,undefined)
endif()

# Registers one QtTest binary with CTest.
function(skylark_add_test name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE skylark_session skylark_options Qt6::Test)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=1"
        TIMEOUT 300)
endfunction()
