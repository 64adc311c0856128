# Faults from outside the show: text it was never meant to type, and (fault_test) the real
# program on private X displays, closed, minimised, covered, resized, flooded with keys,
# started twice, started without a display, and traced for what it opens.
# Label `faults`.

# Random UTF-16 through Mid, Print and the text effects, on the real stage, offscreen.
add_executable(text_fuzz_test text_fuzz_test.cpp)
target_link_libraries(text_fuzz_test PRIVATE
    qorvelin_qt_stage qorvelin_show GTest::gtest qt_test_main qorvelin_warnings)
gtest_discover_tests(text_fuzz_test
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS faults
    DISCOVERY_TIMEOUT 30)

# The built program on private X displays (:80 to :89), and without any. The runs on a
# display play at the same time in threads of their own, so those tests share one CTest
# test, of about 85 s; it is also labelled e2e, like every test that runs the program in an
# X server, and takes the `desktop` lock as they do. (Under the sanitizers the X client
# libraries themselves trip them: libxkbcommon overreads in strndup, libdbus leaks.) The runs
# without a display are a test of their own.
# A stand-in for the desktop's screen-saver inhibition, which the program asks over the
# session bus; the traced run and the screen-saver run talk to it on a private bus.
add_executable(inhibit_stand_in inhibit_stand_in.cpp)
set_target_properties(inhibit_stand_in PROPERTIES AUTOMOC ON)
target_link_libraries(inhibit_stand_in PRIVATE Qt6::DBus qorvelin_warnings)

add_executable(fault_test fault_test.cpp)
target_link_libraries(fault_test PRIVATE display_session Qt6::Core GTest::gtest qorvelin_warnings)
target_compile_definitions(fault_test PRIVATE
    QORVELIN_PROGRAM="$<TARGET_FILE:qorvelin>"
    QORVELIN_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    QORVELIN_BUILD_DIR="${PROJECT_BINARY_DIR}"
    QORVELIN_INHIBIT_STAND_IN="$<TARGET_FILE:inhibit_stand_in>")
add_dependencies(fault_test qorvelin inhibit_stand_in)
add_test(NAME faults_on_x COMMAND fault_test --gtest_filter=-NoDisplay.*)
set_tests_properties(faults_on_x PROPERTIES LABELS "faults;e2e" TIMEOUT 300 RESOURCE_LOCK desktop)
add_test(NAME faults_headless COMMAND fault_test --gtest_filter=NoDisplay.*)
set_tests_properties(faults_headless PROPERTIES LABELS faults TIMEOUT 60)
