# Tests of the assets, read from the resources that the program links: the card faces, the
# program icon and the show's face (with the words of the web page), and the extent of the show
# measured in that face.
qorvelin_test(assets_test
    card_faces_test.cpp
    face_test.cpp
    show_extent_test.cpp
    QT_APP
    LIBS qorvelin_assets qorvelin_show recording_stage Qt6::Gui)
target_compile_definitions(assets_test PRIVATE
    QORVELIN_PAGE_WORDS="${PROJECT_SOURCE_DIR}/web/page_words.txt"
    QORVELIN_ICON_DIR="${PROJECT_SOURCE_DIR}/assets/icon")
