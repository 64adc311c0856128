// Plays Qorvelin's page once in a browser and follows a plan: screenshots at moments of the
// show's timeline, a key press or a tap, a hidden tab, the end and the replay button. It judges
// nothing: it writes the frames and what the page said to a folder, for the end-to-end test to
// judge as it judges the desktop program's run.
//
//   node play_page.mjs PLAN.json
//
// The plan: {engine, page, width, height, hideFonts, touch, breaks, out, steps: [...]}, each
// step one of
//   {capture: NAME, at}                one screenshot
//   {burst: NAME, from, until}         screenshots one after another
//   {quiet: NAME, from, until}         counts the pumps in that span (where a trace can be set)
//   {value: NAME, expression, at}      what an expression gives in the page
//   {press: "key" | "tap", at}         the space bar, or a tap in the middle of the page
//   {hide: NAME, from, until}          another tab in front meanwhile
//   {watchEnd: NAME, from}             screenshots until the show's end
//   {replay: NAME}                     the button at the end, pressed with the Enter key
// Moments are ms after the show loaded, after the key press with {after: "key"}, or after the
// page started step N of the show with {after: N}. A plan that
// `breaks` the page ("webassembly": the browser has none; "face": the face does not load) has
// no steps: the page is only looked at a moment after it opened.

import fs from 'node:fs';
import path from 'node:path';
import {fileUrl, open} from './browsers.mjs';

const plan = JSON.parse(fs.readFileSync(process.argv[2], 'utf8'));
fs.mkdirSync(plan.out, {recursive: true});
const record = {frames: {}, bursts: {}, quiet: {}, hidden: {}, values: {}};
const sleep = ms => new Promise(resolve => setTimeout(resolve, Math.max(0, ms)));

const tab = await open(plan);
try {
  await play();
} catch (error) {
  record.failure = String(error && error.stack || error);
} finally {
  record.requests = tab.requests;
  record.consoleErrors = tab.consoleErrors;
  fs.writeFileSync(path.join(plan.out, 'record.json'), JSON.stringify(record, null, 1));
  await tab.close().catch(() => {});
}

async function play() {
  if (plan.breaks) {
    await lookAtBrokenPage();
    return;
  }
  if (tab.engine !== 'webkit') {
    await tab.beforeLoad(() => {
      window.qorvelinPumps = [];
      window.qorvelinTrace = (event, at) => { if (event === 'pump') window.qorvelinPumps.push(at); };
    });
  }
  await tab.goto(fileUrl(plan.page));
  const marks = name => tab.evaluate(
      `performance.getEntriesByName('qorvelin:${name}').map(mark => mark.startTime)`);
  const until = async (condition, timeoutMs, what, everyMs = 20) => {
    const deadline = Date.now() + timeoutMs;
    for (;;) {
      const value = await condition();
      if (value) return value;
      if (Date.now() > deadline) throw new Error(`no ${what} within ${timeoutMs} ms`);
      await sleep(everyMs);
    }
  };
  const loads = await until(async () => {
    const all = await marks('load');
    return all.length > 0 && all;
  }, 20000, 'load');
  const loadAt = loads[0];

  // The page's clock, read from here: performance.now() in the page, ms.
  const sent = Date.now();
  const pageNow = await tab.evaluate('performance.now()');
  const offset = pageNow - (sent + Date.now()) / 2;
  const now = () => Date.now() + offset - loadAt;
  const stepStart = step => until(async () => {
    const ticks = await marks('tick');
    return ticks.length > step && ticks[step] - loadAt;
  }, 120000, `step ${step}`, 100);
  const moment = async (at, after) =>
    at + (after === undefined ? 0 : after === 'key' ? record.keyAt : await stepStart(after));
  const waitUntil = async at => sleep(at - now());
  let shots = 0;
  const capture = async name => {
    const at = now();
    const file = `${name}-${String(++shots).padStart(3, '0')}.png`;
    fs.writeFileSync(path.join(plan.out, file), await tab.screenshot());
    return {file, at};
  };

  for (const step of plan.steps) {
    if (step.capture) {
      await waitUntil(await moment(step.at, step.after));
      record.frames[step.capture] = await capture(step.capture);
    } else if (step.burst) {
      await waitUntil(await moment(step.from, step.after));
      const frames = record.bursts[step.burst] = [];
      const end = await moment(step.until, step.after);
      while (now() < end) frames.push(await capture(step.burst));
    } else if (step.quiet) {
      await waitUntil(await moment(step.from, step.after));
      const before = await tab.evaluate('window.qorvelinPumps ? qorvelinPumps.length : -1');
      await waitUntil(await moment(step.until, step.after));
      const after = await tab.evaluate('window.qorvelinPumps ? qorvelinPumps.length : -1');
      record.quiet[step.quiet] = before < 0 ? null : after - before;
    } else if (step.value) {
      await waitUntil(await moment(step.at, step.after));
      record.values[step.value] = await tab.evaluate(step.expression);
    } else if (step.press) {
      await waitUntil(await moment(step.at, step.after));
      record.keyAt = now();
      if (step.press === 'tap') {
        await tab.tap(plan.width / 2, plan.height * 3 / 4);
      } else {
        await tab.pressKey();
      }
    } else if (step.hide) {
      await waitUntil(await moment(step.from, step.after));
      const other = await tab.hide();
      const hiddenAt = now();
      const seen = await tab.evaluate('document.visibilityState');
      await waitUntil(await moment(step.until, step.after));
      await tab.show(other);
      // The longest the show went without a pump meanwhile: how much the browser slowed it.
      const longestPumpGap = await tab.evaluate(`(() => {
        const pumps = (window.qorvelinPumps || []).filter(at => at > ${hiddenAt + loadAt});
        return pumps.slice(1).reduce((longest, at, i) => Math.max(longest, at - pumps[i]), 0);
      })()`);
      record.hidden[step.hide] = {from: hiddenAt, until: now(), state: seen, longestPumpGap};
    } else if (step.watchEnd) {
      await waitUntil(await moment(step.from, step.after));
      const frames = record.bursts[step.watchEnd] = [];
      const deadline = now() + 20000;
      while ((await marks('end')).length === 0 && now() < deadline) {
        frames.push(await capture(step.watchEnd));
        await sleep(100);
      }
      const ends = await marks('end');
      record.endAt = ends.length > 0 ? ends[0] - loadAt : null;
    } else if (step.replay) {
      await until(async () => (await marks('end')).length > 0, 120000, 'end');
      await sleep(300);
      record.frames[`${step.replay}-offered`] = await capture(`${step.replay}-offered`);
      await tab.pressEnter();
      const again = await until(async () => {
        const all = await marks('load');
        return all.length > 1 && all;
      }, 5000, 'second load').catch(() => null);
      record.replayedAt = again ? again[1] - loadAt : null;
      if (again) {
        await sleep(300);
        record.frames[`${step.replay}-again`] = await capture(`${step.replay}-again`);
      }
    }
  }
  record.ticks = (await marks('tick')).map(at => at - loadAt);
  record.title = await tab.evaluate('document.title');
  record.language = await tab.evaluate('document.documentElement.lang');
  record.icon = await tab.evaluate(
      "(document.querySelector('link[rel~=icon]') || {href: ''}).href.slice(0, 22)");
  record.failureLine = await tab.evaluate(
      "document.getElementById('failure').hidden ? '' : document.getElementById('failure').textContent");
  record.resources = await tab.evaluate(
      "performance.getEntriesByType('resource').map(entry => entry.name)");
}

async function lookAtBrokenPage() {
  if (plan.breaks === 'face') {
    await tab.beforeLoad(() => {
      FontFace.prototype.load = () => Promise.reject(new Error('a face that cannot load'));
    });
  } else {
    await tab.beforeLoad(() => { delete globalThis.WebAssembly; });
  }
  await tab.goto(fileUrl(plan.page));
  await sleep(2000);
  record.frames.broken = {file: 'broken.png', at: 2000};
  fs.writeFileSync(path.join(plan.out, 'broken.png'), await tab.screenshot());
  record.failureLine = await tab.evaluate(
      "document.getElementById('failure').hidden ? '' : document.getElementById('failure').textContent");
}
