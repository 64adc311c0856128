#pragma once

// One run of Qorvelin's web page in a browser, driven by tests/web/play_page.mjs through a
// plan of the moments to look at (see there); the frames and what the page said come back for
// the end-to-end test to judge. WebKitGTK plays on a private X display of its own.

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <map>
#include <vector>

#include "display_session.h"

struct PagePlan {
    QString engine;  // chromium, firefox or webkit
    int width = 1280;
    int height = 800;
    bool hideFonts = false;   // the browser sees no installed font
    bool touch = false;       // a touch screen
    QString breaks;           // "webassembly" or "face": the page cannot play
    bool site = false;        // the site served, played offline after a reload
    bool lighthouse = false;  // and judged by Lighthouse first
    QSize screen;             // a window of width x height on a screen this size (Chromium)
    QString name;             // of the folder its frames are kept in; the engine's by default
    QJsonArray steps;
};

struct PageRun {
    QString failure;  // why the run could not be recorded; empty when it was
    // play_page.mjs's record: keyAt, endAt, ticks, title, requests, ...; moments in ms after the
    // show loaded.
    QJsonObject record;
    std::map<QString, Frame> frames;
    std::map<QString, std::vector<Frame>> bursts;
};

PageRun PlayPage(const PagePlan& plan);
