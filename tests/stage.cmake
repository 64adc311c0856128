# Tests of the real Qt stage, on Qt's offscreen platform.
qorvelin_test(stage_test
    qt_stage_test.cpp
    show_window_test.cpp
    QT_APP SERIAL
    LIBS qorvelin_qt_stage qorvelin_show Qt6::Test)
