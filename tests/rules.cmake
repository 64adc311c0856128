# Tests of the rules every stage shares, in plain C++: the show's clock in virtual time, and the
# core every stage is built on (on the tests' recording stage).
qorvelin_test(stage_rules_test show_clock_test.cpp stage_core_test.cpp
    LIBS qorvelin_stage_rules recording_stage)
