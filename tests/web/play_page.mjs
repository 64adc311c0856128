// Plays Qorvelin's page once in a browser and follows a plan: screenshots at moments of the
// show's timeline, a key press or a tap, a hidden tab, the end and the replay button. It judges
// nothing: it writes the frames and what the page said to a folder, for the end-to-end test to
// judge as it judges the desktop program's run.
//
//   node play_page.mjs PLAN.json
//
// The plan: {engine, page, width, height, hideFonts, touch, breaks, site, screen, lighthouse,
// out, steps: [...]}, each step one of
//   {capture: NAME, at}                one screenshot
//   {burst: NAME, from, until}         screenshots one after another
//   {quiet: NAME, from, until}         counts the pumps in that span (where a trace can be set)
//   {value: NAME, expression, at}      what an expression gives in the page
//   {press: "key" | "tap", at}         the space bar, or a tap in the middle of the page
//   {hide: NAME, from, until}          another tab in front meanwhile
//   {watchEnd: NAME, from}             screenshots until the show's end
//   {replay: NAME, axe: NAME}          the button at the end, pressed with the Enter key (and
//                                      axe-core's findings while it is offered)
//   {doubleClick: NAME, at}            a double click in the middle of the page
//   {axe: NAME, at}                    what axe-core finds wrong with the page for its readers
// Moments are ms after the show loaded, after the key press with {after: "key"}, or after the
// page started step N of the show with {after: N}. A plan that
// `breaks` the page ("webassembly": the browser has none; "face": the face does not load) has
// no steps: the page is only looked at a moment after it opened.
//
// A plan with a `site` (the folder make web writes) serves it on 127.0.0.1 under /qorvelin/,
// has Lighthouse judge it where the plan asks, visits it once, reloads it to see its worker
// take the page over, stops the server and reloads it again: the steps then follow that
// offline page.

import fs from 'node:fs';
import {createRequire} from 'node:module';
import path from 'node:path';
import {fileUrl, open, serveSite} from './browsers.mjs';

const plan = JSON.parse(fs.readFileSync(process.argv[2], 'utf8'));
fs.mkdirSync(plan.out, {recursive: true});
const record = {frames: {}, bursts: {}, quiet: {}, hidden: {}, values: {}, axe: {}};
const sleep = ms => new Promise(resolve => setTimeout(resolve, Math.max(0, ms)));

const server = plan.site ? await serveSite(plan.site) : null;
const tab = await open({...plan, served: Boolean(server)});
try {
  await play();
} catch (error) {
  record.failure = String(error && error.stack || error);
} finally {
  record.requests = tab.requests;
  record.consoleErrors = tab.consoleErrors;
  fs.writeFileSync(path.join(plan.out, 'record.json'), JSON.stringify(record, null, 1));
  await tab.close().catch(() => {});
  server?.process.kill();
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
  if (server) {
    await visitTheSite();
  } else {
    await tab.goto(fileUrl(plan.page));
  }
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
    } else if (step.doubleClick) {
      await waitUntil(await moment(step.at, step.after));
      await tab.doubleClick(plan.width / 2, plan.height * 3 / 4);
    } else if (step.replay) {
      await until(async () => (await marks('end')).length > 0, 120000, 'end');
      await sleep(300);
      record.frames[`${step.replay}-offered`] = await capture(`${step.replay}-offered`);
      if (step.axe) record.axe[step.axe] = await axe();
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
    } else if (step.axe) {
      await waitUntil(await moment(step.at, step.after));
      record.axe[step.axe] = await axe();
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

// Lighthouse's judgement where the plan asks for it, then the first visit, which installs
// the worker; a reload, which the worker answers; and, with the server gone, the reload that
// the show is watched in. Firefox spends a few hundred ms of the next page's time cleaning up
// the pages it left, so there the show is watched in a visit that follows a few seconds on an
// empty page.
async function visitTheSite() {
  record.siteAddress = server.address;
  if (plan.lighthouse) record.lighthouse = await lighthouse(server.address);
  await tab.goto(server.address);
  record.workerReady = await tab.evaluate(`Promise.race([
    navigator.serviceWorker.ready.then(() => true),
    new Promise(resolve => setTimeout(() => resolve(false), 20000))])`);
  if (tab.devtools) {
    record.installability = (await tab.devtools('Page.getInstallabilityErrors')).installabilityErrors;
    record.manifestErrors = (await tab.devtools('Page.getAppManifest')).errors;
  }
  await tab.reload();
  record.controlled = await tab.evaluate('navigator.serviceWorker.controller !== null');
  const settle = tab.engine === 'firefox';
  if (settle) {
    await tab.goto('about:blank');
    await sleep(4000);
  }
  server.process.kill();
  await new Promise(resolve => server.process.once('exit', resolve));
  record.offline = true;
  await (settle ? tab.goto(server.address) : tab.reload());
}

// Lighthouse on the same browser, in a tab of its own, with the desktop's settings.
async function lighthouse(address) {
  const {default: run} = await import('lighthouse');
  const {lhr} = await run(address, {port: tab.devtoolsPort(), output: 'json', logLevel: 'error'}, {
    extends: 'lighthouse:default',
    settings: {
      onlyCategories: ['accessibility', 'best-practices', 'seo'],
      formFactor: 'desktop', screenEmulation: {disabled: true}, throttlingMethod: 'provided',
    },
  });
  const failed = Object.values(lhr.audits)
      .filter(audit => audit.score !== null && audit.score < 1)
      .map(audit => audit.id);
  return {
    scores: Object.fromEntries(Object.entries(lhr.categories).map(([id, {score}]) => [id, score])),
    failed,
    seo: lhr.categories.seo.auditRefs.map(ref => ref.id),
    runtimeError: lhr.runtimeError?.message ?? null,
  };
}

// What axe-core finds wrong with the page for its readers: each rule broken, with where.
async function axe() {
  const axeScript = fs.readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');
  const violations = await tab.evaluate(`(async () => {
    if (!window.axe) ${axeScript}
    const {violations} = await axe.run(document, {resultTypes: ['violations']});
    return violations.map(rule => rule.id + ': ' + rule.nodes.map(node => node.target.join(' ')).join(', '));
  })()`);
  return violations;
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
