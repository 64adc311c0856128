# Tests of the assets, read from the resources that the program links: the card faces, the
# program icon and the show's face, with the extent of the show measured in that face.
qorvelin_test(assets_test
    card_faces_test.cpp
    face_test.cpp
    show_extent_test.cpp
    QT_APP
    LIBS qorvelin_assets qorvelin_show recording_stage Qt6::Gui)
