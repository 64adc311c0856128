# Tests of the show logic, run against the recording stage in virtual time.
add_library(recording_stage STATIC recording_stage.cpp)
target_link_libraries(recording_stage PUBLIC qorvelin_stage_rules)

qorvelin_test(show_test
    card_reveal_test.cpp
    deal_test.cpp
    show_script_test.cpp
    text_effects_test.cpp
    LIBS qorvelin_show recording_stage)
