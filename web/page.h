#pragma once

// What the browser's stage asks of the page: each call is defined once, in page.cpp, with the
// script that answers it beside it; the page's own state and its listeners are page.js's
// `Page`. None of these calls back into the WebAssembly. PageWait is the one that yields to the
// browser (Asyncify turns it into an await); PagePrepare and PageOfferReplay wait too, before
// and after a show.

#include <emscripten/em_macros.h>

#include "web/page_values.h"

// The calls that the page answers with an await are imported under Asyncify's name for them.
#define PAGE_AWAITS(name) EM_IMPORT(__asyncjs__##name)

extern "C" {

// Seconds since local midnight.
double PageSecondsSinceMidnight();

// Decodes the show's face and the card faces; 0, once the page has said why, when it cannot.
int PagePrepare() PAGE_AWAITS(PagePrepare);
// Yields to the browser until `until` (performance.now(); none when negative), until the
// viewport or the page's visibility changes, or, when `forInput`, until a key or a tap comes.
// Returns when what ended the wait came: the input's own moment, or the time it ended.
double PageWait(double until, int forInput) PAGE_AWAITS(PageWait);
// The next key code the viewer typed (a tap counts as a space), or -1 when there is none.
int PageNextKey();
// What changed since the last call: page::kResized, page::kVisibility.
int PageTakeChanges();
int PageVisible();
double PageViewportWidth();
double PageViewportHeight();

// Sizes the drawing to the viewport at `scale` logical pixels per CSS pixel; it is then blank.
void PageFit(double scale);
void PageErase(unsigned color);
void PageDrawText(double x, double baseline, unsigned color, double pixels, const char16_t* text,
                  int length);
// The card pane of `slot`, hidden, with what a screen reader says of it (UTF-8); a new show's
// stage has the page's panes again.
void PageAddCard(int slot, const char* name);
// Card `slot` at logical `left`, `top`, `width` x `height`, shown at `scale`.
void PagePlaceCard(int slot, double left, double top, double width, double height, double scale);
void PageShowCard(int slot, int visible);
// A typed line, complete, for screen readers; nothing of it shows.
void PageSay(const char16_t* line, int length);

void PageKeepAwake(int wanted);
// Shows the replay button and returns once it has been pressed.
void PageOfferReplay() PAGE_AWAITS(PageOfferReplay);
// One line on the page and in the console (UTF-8); the first one stands.
void PageFail(const char* message);
// Tells whoever measures the show what it did: the show's load, each step's start and the show's
// end are marks on the page's performance timeline ("qorvelin:tick"), and a page that defines
// qorvelinTrace gets (event, performance.now(), detail) for every event, pumps and sleeps too.
void PageTrace(const char* event, int detail);

}  // extern "C"
