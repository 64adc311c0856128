// The three engines the page's tests play it in, behind one small interface: Debian's Chromium
// and Firefox driven by puppeteer-core, and WebKitGTK's MiniBrowser driven over W3C WebDriver
// by its WebKitWebDriver (on the X display in $DISPLAY).
//
//   const tab = await open({engine, width, height, hideFonts, touch, served, screen});
//   await tab.goto(fileUrl); await tab.evaluate('document.title'); await tab.screenshot();
//   await tab.pressKey(); await tab.tap(x, y); tab.requests; await tab.close();
//
// A page from a file may ask for nothing: every request but its own is blocked and counted. A
// `served` page is let fetch, through its service worker too, and Chromium counts every request.
// Chromium with a `screen` plays in a window of width x height on a screen of that size, as
// a desktop browser does, so that the page can go full screen.

import {spawn} from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';
import url from 'node:url';
import puppeteer from 'puppeteer-core';

// WebKitGTK's own browser, in the library folder of the machine's architecture.
function miniBrowser() {
  for (const folder of fs.readdirSync('/usr/lib')) {
    const program = path.join('/usr/lib', folder, 'webkit2gtk-4.1/MiniBrowser');
    if (fs.existsSync(program)) return program;
  }
  throw new Error('no MiniBrowser: install webkit2gtk-driver');
}

// A font configuration with no font at all: whatever text shows came from the page itself.
function noFonts() {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'qorvelin-fonts-'));
  const file = path.join(folder, 'fonts.conf');
  fs.writeFileSync(file, '<?xml version="1.0"?>\n<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">\n' +
                         `<fontconfig><cachedir>${folder}/cache</cachedir></fontconfig>\n`);
  return file;
}

// Every request but the page itself and the data: URLs inside it is blocked and counted.
async function blockRequests(page, requests) {
  await page.setRequestInterception(true);
  page.on('request', request => {
    const url = request.url();
    if (url.startsWith('data:') || (url.startsWith('file:') && request.isNavigationRequest())) {
      request.continue();
    } else {
      requests.push(url);
      request.abort();
    }
  });
}

async function openPuppeteer({engine, width, height, hideFonts, touch, served, screen}) {
  const env = {...process.env};
  if (hideFonts) env.FONTCONFIG_FILE = noFonts();
  const windowed = Boolean(screen) && engine === 'chromium';
  const viewport = windowed ? null : {width, height, deviceScaleFactor: 1, hasTouch: Boolean(touch)};
  const windowArgs = windowed
      ? [`--window-size=${width},${height}`, `--screen-info={${screen.width}x${screen.height}}`] : [];
  const browser = engine === 'chromium'
      ? await puppeteer.launch({
          executablePath: '/usr/bin/chromium', headless: true, env, defaultViewport: viewport,
          args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
                 '--disable-component-update', '--disable-sync', '--no-first-run',
                 '--no-default-browser-check', '--disable-dev-shm-usage', '--hide-scrollbars',
                 '--mute-audio', ...windowArgs],
        })
      : await puppeteer.launch({browser: 'firefox', executablePath: '/usr/bin/firefox-esr',
                                headless: true, env, defaultViewport: viewport});
  const page = (await browser.pages())[0] ?? await browser.newPage();
  if (viewport) await page.setViewport(viewport);  // Firefox's first tab does not take the default one
  if (windowed) await fitWindowTo(page, width, height);
  const requests = [];
  if (!served) {
    await blockRequests(page, requests);
  } else if (engine === 'chromium') {
    // Firefox's page falls hundreds of ms behind its timeline while its requests are watched;
    // there the page's own resource timing says what it asked for.
    page.on('request', request => {
      if (!request.url().startsWith('data:')) requests.push(request.url());
    });
  }
  const consoleErrors = [];
  page.on('console', message => { if (message.type() === 'error') consoleErrors.push(message.text()); });
  page.on('pageerror', error => consoleErrors.push(String(error)));
  return {
    engine, requests, consoleErrors,
    beforeLoad: script => page.evaluateOnNewDocument(script),
    goto: url => page.goto(url),
    reload: () => page.reload(),
    evaluate: expression => page.evaluate(expression),
    // A call of Chromium's DevTools protocol, on this tab; Firefox has none.
    devtools: engine !== 'chromium' ? null : async (method, parameters) =>
        (await page.createCDPSession()).send(method, parameters),
    processId: () => browser.process().pid,
    // Where the browser takes DevTools connections: for Lighthouse.
    devtoolsPort: () => Number(new URL(browser.wsEndpoint()).port),
    screenshot: async () => Buffer.from(await page.screenshot()),
    pressKey: () => page.keyboard.press(' '),
    pressEnter: () => page.keyboard.press('Enter'),
    tap: (x, y) => page.touchscreen.tap(x, y),
    doubleClick: (x, y) => page.mouse.click(x, y, {count: 2}),
    // Another tab in front hides this one; bringing it back shows it again.
    hide: async () => { const other = await browser.newPage(); await other.bringToFront(); return other; },
    show: async other => { await page.bringToFront(); await other.close(); },
    close: () => browser.close(),
  };
}

// The window holds the browser's own bars as well: it grows until the page has the size asked.
async function fitWindowTo(page, width, height) {
  const devtools = await page.createCDPSession();
  const {windowId} = await devtools.send('Browser.getWindowForTarget');
  const [innerWidth, innerHeight] = await page.evaluate('[innerWidth, innerHeight]');
  await devtools.send('Browser.setWindowBounds', {windowId, bounds: {
    width: 2 * width - innerWidth, height: 2 * height - innerHeight}});
  await devtools.detach();
}

function freePort() {
  return new Promise(resolve => {
    const server = net.createServer().listen(0, '127.0.0.1', () => {
      const {port} = server.address();
      server.close(() => resolve(port));
    });
  });
}

async function openWebKit({width, height}) {
  const port = await freePort();
  const driver = spawn('/usr/bin/WebKitWebDriver', [`--port=${port}`], {stdio: 'ignore'});
  const base = `http://127.0.0.1:${port}`;
  const call = async (method, url, body) => {
    const response = await fetch(base + url, {
      method, headers: {'content-type': 'application/json'},
      body: body === undefined ? undefined : JSON.stringify(body)});
    const answer = await response.json();
    if (!response.ok) throw new Error(`${method} ${url}: ${JSON.stringify(answer.value).slice(0, 300)}`);
    return answer.value;
  };
  for (let attempt = 0; ; ++attempt) {
    try { await call('GET', '/status'); break; } catch (error) {
      if (attempt > 200) { driver.kill(); throw error; }
      await new Promise(resolve => setTimeout(resolve, 50));
    }
  }
  const session = await call('POST', '/session', {capabilities: {alwaysMatch: {
    'webkitgtk:browserOptions': {binary: miniBrowser(), args: ['--automation']}}}});
  const at = `/session/${session.sessionId}`;
  // The window is the viewport and MiniBrowser's toolbar: make the viewport the size asked.
  await call('POST', `${at}/window/rect`, {x: 0, y: 0, width, height});
  const inner = await call('POST', `${at}/execute/sync`, {script: 'return [innerWidth, innerHeight]', args: []});
  await call('POST', `${at}/window/rect`, {x: 0, y: 0, width: 2 * width - inner[0], height: 2 * height - inner[1]});
  const actions = async list => {
    await call('POST', `${at}/actions`, {actions: list});
    await call('DELETE', `${at}/actions`);
  };
  return {
    engine: 'webkit', requests: [], consoleErrors: [],
    beforeLoad: async () => { throw new Error('WebDriver cannot run a script before the page'); },
    goto: url => call('POST', `${at}/url`, {url}),
    evaluate: expression => call('POST', `${at}/execute/sync`, {script: `return (${expression});`, args: []}),
    screenshot: async () => Buffer.from(await call('GET', `${at}/screenshot`), 'base64'),
    pressKey: () => actions([{type: 'key', id: 'keyboard', actions: [
      {type: 'keyDown', value: ' '}, {type: 'keyUp', value: ' '}]}]),
    pressEnter: () => actions([{type: 'key', id: 'keyboard', actions: [
      {type: 'keyDown', value: '\uE007'}, {type: 'keyUp', value: '\uE007'}]}]),
    tap: (x, y) => actions([{type: 'pointer', id: 'finger', parameters: {pointerType: 'touch'}, actions: [
      {type: 'pointerMove', x: Math.round(x), y: Math.round(y)}, {type: 'pointerDown', button: 0},
      {type: 'pointerUp', button: 0}]}]),
    hide: () => call('POST', `${at}/window/minimize`, {}),
    show: () => call('POST', `${at}/window/rect`, {x: 0, y: 0}),
    close: async () => {
      await call('DELETE', at).catch(() => {});
      driver.kill();
    },
  };
}

export async function open(options) {
  return options.engine === 'webkit' ? openWebKit(options) : openPuppeteer(options);
}

export const fileUrl = file => 'file://' + path.resolve(file);

// The site folder served on 127.0.0.1 under /qorvelin/, as a school's server would: its
// address, and the server's process, to stop it.
export async function serveSite(folder) {
  const server = path.join(path.dirname(url.fileURLToPath(import.meta.url)), '../../web/serve_site.py');
  const process = spawn('python3', [server, folder, '--host', '127.0.0.1', '--port', '0',
                                    '--path', '/qorvelin/'], {stdio: ['ignore', 'pipe', 'inherit']});
  const lines = readline.createInterface({input: process.stdout});
  const address = await Promise.race([
    new Promise(resolve => lines.once('line', resolve)),
    new Promise((resolve, reject) => setTimeout(
        () => reject(new Error('the site\'s server did not start')), 10000)),
  ]);
  return {process, address};
}
