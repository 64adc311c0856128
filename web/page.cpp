// The page's side of each call that the browser's stage makes (see page.h).

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
    if (error) Page.fail(error);
    return error ? 0 : 1;
});

EM_ASYNC_JS(double, PageWait, (double until, int forInput), {
    return await Page.wait(until, forInput !== 0);
});

EM_JS(int, PageNextKey, (), {
    return Page.keys.length > 0 ? Page.keys.shift() : -1;
});

EM_JS(int, PageTakeChanges, (), {
    const changes = Page.changes;
    Page.changes = 0;
    return changes;
});

EM_JS(int, PageVisible, (), { return Page.visible() ? 1 : 0; });
EM_JS(double, PageViewportWidth, (), { return document.documentElement.clientWidth; });
EM_JS(double, PageViewportHeight, (), { return document.documentElement.clientHeight; });

EM_JS(void, PageFit, (double scale), { Page.fit(scale); });

EM_JS(void, PageErase, (unsigned color), { Page.erase(color); });

EM_JS(void, PageDrawText, (double x, double baseline, unsigned color, double pixels,
                           const char16_t* text, int length), {
    const context = Page.context;
    const font = pixels + 'px "' + pageValues.kFaceFamily + '"';
    if (font !== Page.font) context.font = Page.font = font;
    const fill = Page.css(color);
    if (fill !== Page.fill) context.fillStyle = Page.fill = fill;
    context.fillText(Page.text(HEAPU16, text, length), x, baseline);
});

EM_JS(void, PageAddCard, (int slot, const char* name), {
    let card = Page.cards[slot];
    if (!card) {
        card = Page.cards[slot] = document.createElement('canvas');
        card.className = 'card';
        card.setAttribute('role', 'img');
        Page.cardHolder.appendChild(card);
    }
    card.hidden = true;
    card.setAttribute('aria-label', UTF8ToString(name));
});

EM_JS(void, PagePlaceCard, (int slot, double left, double top, double width, double height,
                            double scale), {
    Page.placeCard(Page.cards[slot], Page.faces[slot], left, top, width, height, scale);
});

EM_JS(void, PageShowCard, (int slot, int visible), {
    const card = Page.cards[slot];
    if (visible && card.hidden) Page.cardHolder.appendChild(card);
    card.hidden = !visible;
});

EM_JS(void, PageSay, (const char16_t* line, int length), {
    Page.spoken.textContent = Page.text(HEAPU16, line, length);
});

EM_JS(void, PageKeepAwake, (int wanted), { Page.keepAwake(wanted !== 0); });

EM_ASYNC_JS(void, PageOfferReplay, (), { await Page.offerReplay(); });

EM_JS(void, PageFail, (const char* message), { Page.fail(UTF8ToString(message)); });

EM_JS(void, PageTrace, (const char* event, int detail), {
    const name = UTF8ToString(event);
    if (name === 'load' || name === 'tick' || name === 'end') performance.mark('qorvelin:' + name);
    if (typeof window.qorvelinTrace === 'function') window.qorvelinTrace(name, performance.now(), detail);
});
// clang-format on
