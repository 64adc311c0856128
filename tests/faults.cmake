# Faults from outside the show: text it was never meant to type, and (fault_test) the real
# program on private X displays, closed, minimised, covered, resized, flooded with keys,
# started twice, started without a display or a font, and traced for what it opens.
# Label `faults`.

# Random UTF-16 through Mid, Print and the text effects, on the real stage, offscreen.
add_executable(text_fuzz_test text_fuzz_test.cpp)
target_link_libraries(text_fuzz_test PRIVATE
    qorvelin_stage qorvelin_show GTest::gtest qt_test_main qorvelin_warnings)
gtest_discover_tests(text_fuzz_test
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS faults
    DISCOVERY_TIMEOUT 30)
