# The program as a user runs it: on a private X display (Xvfb with openbox), watched
# through screenshots and driven with xdotool, or on a private Wayland compositor (a headless
# sway), watched with grim and typed into with wtype; and on a small X screen, scaled.
add_library(display_session STATIC
    display_session.cpp display_session.h x_session.cpp x_session.h wayland_session.cpp wayland_session.h
    page_run.cpp page_run.h)
find_package(X11 REQUIRED COMPONENTS Xfixes)
target_link_libraries(display_session PUBLIC Qt6::Gui PRIVATE X11::X11 X11::Xfixes qorvelin_warnings)
# The web page that `make web` builds, and what plays it in a browser (tests/web, `npm ci`).
target_compile_definitions(display_session PRIVATE
    QORVELIN_PAGE="${PROJECT_SOURCE_DIR}/build-web/qorvelin.html"
    QORVELIN_SITE="${PROJECT_SOURCE_DIR}/build-web/site"
    QORVELIN_PAGE_PLAYER="${CMAKE_CURRENT_SOURCE_DIR}/web/play_page.mjs")
target_include_directories(display_session PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

# One run of the whole show (about 75 s with the key wait), judged by several tests; they
# share the run, so the executable is one CTest test. The show mostly waits, so one run on a
# desktop (lock `desktop`) and one in a browser (lock `browser`) play side by side when
# CTest runs tests in parallel, as `make check` does; two of a kind never do.
add_executable(e2e_test e2e_test.cpp)
target_link_libraries(e2e_test PRIVATE display_session qorvelin_show GTest::gtest qorvelin_warnings)
target_compile_definitions(e2e_test PRIVATE
    QORVELIN_PROGRAM="$<TARGET_FILE:qorvelin>"
    QORVELIN_CARDS_DIR="${PROJECT_SOURCE_DIR}/assets/cards")
add_dependencies(e2e_test qorvelin)
add_test(NAME e2e COMMAND e2e_test)
add_test(NAME e2e_wayland COMMAND e2e_test --wayland)
# A 1024 x 768 projector, narrower than the show, and a program that sees no installed font.
add_test(NAME e2e_projector COMMAND e2e_test --projector)
set_tests_properties(e2e e2e_wayland e2e_projector PROPERTIES LABELS e2e TIMEOUT 240 RESOURCE_LOCK desktop)

# The web page in three browsers' engines, judged by the same checks. Chromium plays the whole
# show and its replay with no fonts in sight, as a screen reader reads it; Firefox the site,
# offline, on a touch screen smaller than the show, with a hidden tab; WebKitGTK up to the
# second row. The site in Chromium: Lighthouse's judgement, the app installed, played offline,
# full screen. Label `web` as well: `make asan` leaves them out.
foreach(engine chromium firefox webkit)
    add_test(NAME page_${engine} COMMAND e2e_test --page ${engine})
endforeach()
add_test(NAME site_chromium COMMAND e2e_test --site)
set_tests_properties(page_chromium page_firefox page_webkit site_chromium PROPERTIES
    LABELS "e2e;web" TIMEOUT 300 RESOURCE_LOCK browser)
