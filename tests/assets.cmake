# Tests of the assets: the card faces and the program icon, read from the resources that
# the program links.
qorvelin_test(card_faces_test card_faces_test.cpp LIBS qorvelin_assets Qt6::Gui)
