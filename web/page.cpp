#include "web/page.h"

#include <emscripten.h>

// clang-format off
EM_JS(double, PageSecondsSinceMidnight, (), {
    const now = new Date();
    const midnight = new Date(now);
    midnight.setHours(0, 0, 0, 0);
    return (now - midnight) / 1000;
});
EM_ASYNC_JS(int, PagePrepare, (), {
    const error = await Page.prepare();
    if (error) {
        Page.fail(error);
    }
    return error ? 0 : 1;
});
EM_ASYNC_JS(void, PageWait, (double until, int forInput), {
    await Page.wait(until, forInput !== 0);
});
EM_JS(int, PageNextKey, (), { return Page.nextKey(); });
EM_JS(int, PageTakeChanges, (), { return Page.takeChanges(); });
EM_JS(int, PageVisible, (), { return Page.visible() ? 1 : 0; });
EM_JS(double, PageViewportWidth, (), { return Page.viewportWidth(); });
EM_JS(double, PageViewportHeight, (), { return Page.viewportHeight(); });
EM_JS(void, PageFit, (double scale), { Page.fit(scale); });
EM_JS(void, PageErase, (unsigned color), { Page.erase(color); });
EM_JS(void, PageDrawText, (double x, double baseline, unsigned color, double pixels,
                           const char16_t* text, int length), {
    const units = HEAPU16.subarray(text >> 1, (text >> 1) + length);
    Page.drawText(x, baseline, color, pixels, String.fromCharCode.apply(null, units));
});
EM_JS(void, PagePlaceCard, (int slot, double left, double top, double scale), {
    Page.placeCard(slot, left, top, scale);
});
EM_JS(void, PageShowCard, (int slot, int visible), { Page.showCard(slot, visible !== 0); });
EM_JS(void, PageNameCard, (int slot, const char* name), { Page.nameCard(slot, UTF8ToString(name)); });
EM_JS(void, PageSay, (const char16_t* line, int length), {
    const units = HEAPU16.subarray(line >> 1, (line >> 1) + length);
    Page.say(String.fromCharCode.apply(null, units));
});
EM_JS(void, PageKeepAwake, (int wanted), { Page.keepAwake(wanted !== 0); });
EM_ASYNC_JS(void, PageOfferReplay, (), { await Page.offerReplay(); });
EM_JS(void, PageFail, (const char* message), { Page.fail(UTF8ToString(message)); });
EM_JS(void, PageTrace, (const char* event, int detail), {
    Page.trace(UTF8ToString(event), detail);
});
// clang-format on

namespace page {

double Now() {
    return emscripten_get_now();
}

double SecondsSinceMidnight() {
    return PageSecondsSinceMidnight();
}

bool Prepare() {
    return PagePrepare() != 0;
}

void Wait(double until, bool forInput) {
    PageWait(until, forInput ? 1 : 0);
}

int NextKey() {
    return PageNextKey();
}

int TakeChanges() {
    return PageTakeChanges();
}

bool Visible() {
    return PageVisible() != 0;
}

double ViewportWidth() {
    return PageViewportWidth();
}

double ViewportHeight() {
    return PageViewportHeight();
}

void Fit(double scale) {
    PageFit(scale);
}

void Erase(unsigned color) {
    PageErase(color);
}

void DrawText(double x, double baseline, unsigned color, double pixels,
              const std::u16string& text) {
    PageDrawText(x, baseline, color, pixels, text.data(), static_cast<int>(text.size()));
}

void PlaceCard(int slot, double left, double top, double scale) {
    PagePlaceCard(slot, left, top, scale);
}

void ShowCard(int slot, bool visible) {
    PageShowCard(slot, visible ? 1 : 0);
}

void NameCard(int slot, const std::string& name) {
    PageNameCard(slot, name.c_str());
}

void Say(const std::u16string& line) {
    PageSay(line.data(), static_cast<int>(line.size()));
}

void KeepAwake(bool wanted) {
    PageKeepAwake(wanted ? 1 : 0);
}

void OfferReplay() {
    PageOfferReplay();
}

void Fail(const std::string& message) {
    PageFail(message.c_str());
}

void Trace(const char* event, int detail) {
    PageTrace(event, detail);
}

}  // namespace page
