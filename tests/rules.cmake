# Tests of the rules every stage shares, in plain C++: the show's clock in virtual time.
qorvelin_test(stage_rules_test show_clock_test.cpp LIBS qorvelin_stage_rules)
