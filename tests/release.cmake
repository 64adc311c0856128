# The release files as `make dist` makes them, from the page and the site in build-web/ and
# the hardened program in build-release/, which `make check` builds first.
add_test(NAME release
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/release_test.sh ${PROJECT_SOURCE_DIR}
        ${PROJECT_SOURCE_DIR}/build-web ${PROJECT_SOURCE_DIR}/build-release ${PROJECT_VERSION}
        ${CMAKE_CPACK_COMMAND})
# Like the install test it packages the program, which the sanitizer build leaves out.
set_tests_properties(release PROPERTIES LABELS "install;release" TIMEOUT 600)
