# The installed application: `cmake --install` into a scratch folder, the tree it lays out,
# the desktop entry and metainfo validated, and the Debian package CPack builds from it.
add_test(NAME install
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/install_test.sh
        ${CMAKE_BINARY_DIR} ${PROJECT_VERSION} ${CMAKE_COMMAND} ${CMAKE_CPACK_COMMAND})
set_tests_properties(install PROPERTIES LABELS install TIMEOUT 300)
