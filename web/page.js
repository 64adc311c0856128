// The page's side of the show: its state, its listeners and what the calls of the browser's
// stage (web/page.cpp, where each stands with its script) have in common. It keeps the viewer's
// input for the stage's next pump and wakes the stage when it waits. The listeners only ever
// queue and wake: they never call into the WebAssembly, which may be paused in a wait. The
// values it shares with the stage's C++ are the build's `pageValues` (web/page_values.h).
'use strict';

const Page = {
  hidePointerAfterMs: 2000,
  wakeEarlyMs: 20,

  drawing: null,  // the canvas the show's text goes on
  context: null,
  spoken: null,   // the typed lines, for screen readers
  cards: [],      // one canvas per card pane, Picture1(0) to Picture1(17), as the stage adds them
  cardHolder: null,
  faces: [],      // per slot: the face and the face at twice the density, decoded
  keys: [],       // key codes waiting for the stage's next pump
  changes: 0,     // what changed since the stage last looked: pageValues.kResized | kVisibility
  waiter: null,   // the stage's current wait, if it waits
  channel: null,
  messageTasks: [],
  wakeLock: null,
  wantAwake: false,
  pointerTimer: 0,
  lastTap: null,  // when and where the last tap or click ended, for a double one
  font: '',
  fill: '',

  start() {
    this.drawing = document.getElementById('drawing');
    this.context = this.drawing.getContext('2d', {alpha: false});
    this.spoken = document.getElementById('spoken');
    this.cardHolder = document.getElementById('cards');
    addEventListener('keydown', event => this.onKey(event));
    addEventListener('pointerdown', event => this.onTap(event));
    addEventListener('pointerup', event => this.onTapEnd(event));
    addEventListener('pointermove', () => this.showPointer());
    addEventListener('resize', () => this.changed(pageValues.kResized));
    document.addEventListener('securitypolicyviolation', event => {
      console.error('qorvelin: the page asked for ' + event.blockedURI + ', which it must not');
    });
    document.addEventListener('visibilitychange', () => {
      this.changed(pageValues.kVisibility);
      this.keepAwake(this.wantAwake);
    });
    this.showPointer();
    // The face colour until the show draws, and also if it never can.
    this.fit(1);
    const grey = pageValues.kFaceGrey;
    this.erase(grey | grey << 8 | grey << 16);
    addEventListener('load', () => this.installAsApp());
  },

  // Served from its site, the page is an app: a manifest to install it by, a touch icon, and
  // the worker that keeps it for offline play. Opened from a disk, and as the single page, it
  // asks for nothing. Where the worker cannot be kept (a private window, a full disk, no
  // workers), the page plays all the same, and says so in the console only.
  installAsApp() {
    if (!('site' in document.documentElement.dataset) || !/^https?:$/.test(location.protocol)) return;
    for (const [rel, href] of [['manifest', 'manifest.webmanifest'],
                               ['apple-touch-icon', 'apple-touch-icon.png']]) {
      const link = document.createElement('link');
      link.rel = rel;
      link.href = href;
      document.head.appendChild(link);
    }
    const notKept = why => console.warn('qorvelin: the show is not kept for offline play here: ' + why);
    if (!navigator.serviceWorker) {
      notKept('this browser offers no service workers');
      return;
    }
    navigator.serviceWorker.register('service-worker.js').then(registration => {
      const worker = registration.installing;
      worker?.addEventListener('statechange', () => {
        if (worker.state === 'redundant') notKept('its worker did not install');
      });
    }, error => notKept(error));
  },

  // Decodes the face and the card faces; an error message, or '' once all are ready.
  async prepare() {
    try {
      const face = new FontFace(pageValues.kFaceFamily, this.bytes(pageAssets.face));
      document.fonts.add(await face.load());
    } catch (error) {
      return '無法載入節目的字型 (the show\'s face does not load: ' + error + ')';
    }
    try {
      const decode = data => createImageBitmap(new Blob([this.bytes(data)], {type: 'image/jpeg'}));
      this.faces = await Promise.all(pageAssets.cards.map(
          async ([face, dense]) => [await decode(face), await decode(dense)]));
    } catch (error) {
      return '無法載入撲克牌 (the card faces do not load: ' + error + ')';
    }
    return '';
  },

  bytes(base64) {
    const text = atob(base64);
    const bytes = new Uint8Array(text.length);
    for (let i = 0; i < text.length; ++i) bytes[i] = text.charCodeAt(i);
    return bytes.buffer;
  },

  // --- input -------------------------------------------------------------------------------

  // Keys that type a character reach the show, as on the desktop; bare modifiers, arrows and
  // the browser's own shortcuts do not.
  onKey(event) {
    if (event.target.id === 'replay' || event.isComposing) return;
    if (event.ctrlKey || event.metaKey || event.altKey) return;
    const named = {Enter: 13, Escape: 27, Backspace: 8, Tab: 9, Delete: 127};
    const code = [...event.key].length === 1 ? event.key.charCodeAt(0) : named[event.key];
    if (code === undefined) return;
    event.preventDefault();
    this.keys.push(code);
    this.keyCame(event);
    this.wake(true, event.timeStamp);
  },

  // A tap or a click anywhere counts as a key press: whiteboards and tablets have no keyboard.
  onTap(event) {
    this.showPointer();
    if (event.target.id === 'replay' || event.button > 0) return;
    this.keys.push(32);
    this.keyCame(event);
    this.wake(true, event.timeStamp);
  },

  // Tells whoever measures the show when a key or a tap came: the event's own moment.
  keyCame(event) {
    if (typeof window.qorvelinTrace === 'function') window.qorvelinTrace('key', event.timeStamp, 0);
  },

  // Two taps or clicks close together in time and place toggle full screen, where the browser
  // offers it; where it does not (a phone's Safari), nothing happens.
  onTapEnd(event) {
    if (event.target.id === 'replay' || event.button > 0) return;
    const tap = {at: event.timeStamp, x: event.clientX, y: event.clientY};
    const last = this.lastTap;
    this.lastTap = tap;
    if (!last || tap.at - last.at > 500 || Math.hypot(tap.x - last.x, tap.y - last.y) > 40) return;
    this.lastTap = null;
    const root = document.documentElement;
    const enter = root.requestFullscreen || root.webkitRequestFullscreen;
    const leave = document.exitFullscreen || document.webkitExitFullscreen;
    if (!enter) return;
    const full = document.fullscreenElement || document.webkitFullscreenElement;
    Promise.resolve(full ? leave.call(document) : enter.call(root)).catch(() => {});
  },

  changed(what) {
    this.changes |= what;
    this.wake(false);
  },

  // --- waiting -----------------------------------------------------------------------------

  // Resolves at `until` (performance.now(), none when negative), or as soon as the viewport
  // or the page's visibility changes, or, when `forInput`, a key or a tap comes; with the
  // moment that ended the wait: the input's own, or the time it ended.
  wait(until, forInput) {
    return new Promise(resolve => {
      if (this.changes !== 0 || (forInput && this.keys.length > 0)) return resolve(performance.now());
      const long = until - performance.now() > this.wakeEarlyMs;
      const waiter = {forInput, long, timer: 0, done: (at = performance.now()) => {
        clearTimeout(waiter.timer);
        if (this.waiter === waiter) this.waiter = null;
        resolve(at);
      }};
      this.waiter = waiter;
      if (until >= 0) this.fromMessage(() => this.waitFor(waiter, until));
    });
  },

  // A timer counts whole milliseconds: it takes a wait to the last one, and messages, one after
  // the other, the rest of the way. A page that nobody talks to may have its timers come some
  // milliseconds late, so a long wait (a sleep, the time until a tick) has its timer wake it
  // wakeEarlyMs early and goes the last stretch by messages; the draws' short waits do not.
  waitFor(waiter, until) {
    if (this.waiter !== waiter) return;
    const left = until - performance.now();
    if (left <= 0) {
      waiter.done();
    } else if (left < 1 || (waiter.long && left <= this.wakeEarlyMs)) {
      this.fromMessage(() => this.waitFor(waiter, until));
    } else {
      const onward = () => this.fromMessage(() => this.waitFor(waiter, until));
      waiter.timer = setTimeout(onward, Math.floor(waiter.long ? left - this.wakeEarlyMs : left));
    }
  },

  // Runs `task` from a message. Browsers hold a timer set from a timer's callback back to
  // 4 ms or more once such timers nest, as the show's waits would; one set from a message
  // is taken as it is.
  fromMessage(task) {
    if (!this.channel) {
      this.channel = new MessageChannel();
      this.channel.port1.onmessage = () => this.messageTasks.shift()();
    }
    this.messageTasks.push(task);
    this.channel.port2.postMessage(null);
  },

  // Ends the stage's wait, if it waits for this; `at` is when the input came.
  wake(byInput, at) {
    if (this.waiter && (!byInput || this.waiter.forInput)) this.waiter.done(at);
  },

  // --- drawing -----------------------------------------------------------------------------

  visible() { return document.visibilityState === 'visible'; },

  // Sizes the drawing to the viewport at the device's pixel ratio; what was drawn is gone.
  fit(scale) {
    const ratio = devicePixelRatio;
    this.drawing.width = Math.round(document.documentElement.clientWidth * ratio);
    this.drawing.height = Math.round(document.documentElement.clientHeight * ratio);
    this.context.setTransform(scale * ratio, 0, 0, scale * ratio, 0, 0);
    this.context.textBaseline = 'alphabetic';
    this.font = this.fill = '';
  },

  css(color) {
    return 'rgb(' + (color & 0xFF) + ', ' + ((color >> 8) & 0xFF) + ', ' + ((color >> 16) & 0xFF) + ')';
  },

  // `length` UTF-16 code units at `pointer` in the WebAssembly's memory, `units`.
  text(units, pointer, length) {
    return String.fromCharCode.apply(null, units.subarray(pointer >> 1, (pointer >> 1) + length));
  },

  erase(color) {
    const context = this.context;
    context.save();
    context.setTransform(1, 0, 0, 1, 0, 0);
    context.fillStyle = this.css(color);
    context.fillRect(0, 0, this.drawing.width, this.drawing.height);
    context.restore();
    this.fill = '';
    document.body.style.background = this.css(color);
  },

  // A card at logical `left`, `top`, `width` x `height`, scaled, on whole device pixels, with
  // its face drawn at the density it shows in.
  placeCard(card, [face, denseFace], left, top, width, height, scale) {
    const ratio = devicePixelRatio;
    const onPixels = logical => Math.round(logical * scale * ratio) / ratio;
    card.style.left = onPixels(left) + 'px';
    card.style.top = onPixels(top) + 'px';
    card.style.width = onPixels(width) + 'px';
    card.style.height = onPixels(height) + 'px';
    const pixelWidth = Math.round(width * scale * ratio);
    const pixelHeight = Math.round(height * scale * ratio);
    if (card.width !== pixelWidth || card.height !== pixelHeight || !card.painted) {
      card.width = pixelWidth;
      card.height = pixelHeight;
      const context = card.getContext('2d', {alpha: false});
      context.imageSmoothingQuality = 'high';
      context.drawImage(scale * ratio > 1 ? denseFace : face, 0, 0, pixelWidth, pixelHeight);
      card.painted = true;
    }
  },

  // --- presenting --------------------------------------------------------------------------

  // The pointer hides over the page once the mouse has stood still for a while.
  showPointer() {
    document.documentElement.style.cursor = '';
    clearTimeout(this.pointerTimer);
    this.pointerTimer = setTimeout(() => {
      document.documentElement.style.cursor = 'none';
    }, this.hidePointerAfterMs);
  },

  // Asks the browser to keep the screen awake where it can, and lets go; the browser lets go
  // by itself while the page is hidden, so it is asked again when the page is seen.
  async keepAwake(wanted) {
    this.wantAwake = wanted;
    try {
      if (wanted && !this.wakeLock && this.visible() && navigator.wakeLock) {
        this.wakeLock = await navigator.wakeLock.request('screen');
        this.wakeLock.addEventListener('release', () => { this.wakeLock = null; });
      } else if (!wanted && this.wakeLock) {
        await this.wakeLock.release();
      }
    } catch (error) {
      // Not offered here, or not now: the show plays all the same.
    }
  },

  // The show is over: one button plays it again.
  offerReplay() {
    const button = document.getElementById('replay');
    return new Promise(resolve => {
      button.hidden = false;
      button.focus();
      button.addEventListener('click', () => {
        button.hidden = true;
        resolve();
      }, {once: true});
    });
  },

  // One line on the page and in the console; the first reason stands.
  fail(message) {
    const line = document.getElementById('failure');
    if (!line.hidden) return;
    line.textContent = message;
    line.hidden = false;
    console.error('qorvelin: ' + message);
  },
};
