// Plays Qorvelin's page once in headless Chromium and reports, from the page's own clock, how
// closely it keeps the show's timeline: the table of the desktop's benchmark. The space bar
// goes three seconds into the key wait. Then it visits the site beside the page (make web's
// site/), served here, twice: how soon the first visit paints, and a repeat visit that the
// worker answers from its cache.
//
//   node bench_page.mjs PAGE.html FIGURES.json

import fs from 'node:fs';
import path from 'node:path';
import url from 'node:url';
import {fileUrl, open, serveSite} from './browsers.mjs';

const [page, figuresPath] = process.argv.slice(2);
const keyPressIntoWaitMs = 3000;
const latePeriodMs = 6;

// The show's timeline, as the desktop's benchmark has it.
const timeline = fs.readFileSync(
    path.join(path.dirname(url.fileURLToPath(import.meta.url)), '../../bench/show_timeline.h'), 'utf8');
const onsets = timeline.match(/kStepOnsetsMs = \{([^}]*)\}/)[1].split(',').map(Number);
const showEndMs = Number(timeline.match(/kShowEndMs = (\d+)/)[1]);
const keyWaitStep = Number(timeline.match(/kKeyWaitStep = (\d+)/)[1]);
// The key wait's first pump follows step 13's 104 draws.
const keyWaitFirstPump = 105;
const drawPeriodMs = 5;

const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));
const tab = await open({engine: 'chromium', width: 1280, height: 800});
// The page keeps the events, and counts what the benchmark looks for while the show plays, so
// that looking costs the page next to nothing.
await tab.beforeLoad(() => {
  window.qorvelinEvents = [];
  window.qorvelinCount = {ticks: 0, pumpsOfStep: 0, ended: false};
  window.qorvelinTrace = (event, at, detail) => {
    window.qorvelinEvents.push([event, at, detail]);
    const count = window.qorvelinCount;
    if (event === 'tick') {
      ++count.ticks;
      count.pumpsOfStep = 0;
    } else if (event === 'pump') {
      ++count.pumpsOfStep;
    } else if (event === 'end') {
      count.ended = true;
    }
  };
});
await tab.goto(fileUrl(page));

// The key, three seconds into the key wait.
for (;;) {
  const count = await tab.evaluate('qorvelinCount');
  if (count.ticks > keyWaitStep && count.pumpsOfStep >= keyWaitFirstPump) break;
  await sleep(100);
}
await sleep(keyPressIntoWaitMs);
await tab.pressKey();
while (!(await tab.evaluate('qorvelinCount.ended'))) await sleep(500);

const all = await tab.evaluate('qorvelinEvents');
const firstPaint = await tab.evaluate(
    "performance.getEntriesByName('first-paint').map(entry => entry.startTime)[0]");
await tab.close();

const visits = await visitTheSite(path.join(path.dirname(page), 'site'));

const load = all.find(([event]) => event === 'load')[1];
const end = all.find(([event]) => event === 'end')[1];
const tickStarts = [];
const pumps = [];  // {at, step, inBurst}: a pump straight after another of the same step
let lastWasPump = false;
for (const [event, at, idle] of all) {
  if (event === 'tick') {
    tickStarts.push(at);
    lastWasPump = false;
  } else if (event === 'pump') {
    pumps.push({at, step: tickStarts.length - 1, inBurst: lastWasPump && !idle});
    lastWasPump = true;
  } else if (event === 'sleep') {
    lastWasPump = false;
  }
}
// The wait's first pump by the show's own time, on the grid of the step's first draw, so that
// a first pump that happens to come late does not move the timeline of the steps after it.
const pumpsOfKeyWaitStep = pumps.filter(pump => pump.step === keyWaitStep);
const waitStarted = pumpsOfKeyWaitStep[0].at + (keyWaitFirstPump - 1) * drawPeriodMs;
const keyAnswered = pumpsOfKeyWaitStep[keyWaitFirstPump].at;
const keyWait = keyAnswered - waitStarted;
const pumpsBeyondTheWaitingOne =
    pumps.filter(pump => pump.at > waitStarted && pump.at < keyAnswered).length;

const periods = [];
const pumpsOfStep = onsets.map(() => 0);
const lateOfStep = onsets.map(() => 0);
pumps.forEach((pump, i) => {
  ++pumpsOfStep[pump.step];
  if (i > 0 && pump.inBurst) {
    periods.push(pump.at - pumps[i - 1].at);
    if (periods.at(-1) > latePeriodMs) ++lateOfStep[pump.step];
  }
});
const percentile = share => {
  const sorted = [...periods].sort((a, b) => a - b);
  return sorted[Math.min(sorted.length - 1, Math.max(0, Math.ceil(share * sorted.length) - 1))];
};

const column = (text, width) => String(text).padStart(width);
const lines = [`Qorvelin page benchmark (headless Chromium, ${path.basename(page)})`, '',
               'step        timeline ms  measured ms   error ms   pumps   late'];
let worstOnsetError = 0;
onsets.forEach((onset, step) => {
  const expected = onset + (step > keyWaitStep ? keyWait : 0);
  const measured = tickStarts[step] - load;
  const error = measured - expected;
  worstOnsetError = Math.max(worstOnsetError, Math.abs(error));
  const name = step + 1 === onsets.length ? 'end step' : String(step);
  lines.push(name.padEnd(10) + column(expected.toFixed(0), 13) + column(measured.toFixed(2), 13) +
             column((error >= 0 ? '+' : '') + error.toFixed(2), 11) + column(pumpsOfStep[step], 8) +
             column(lateOfStep[step], 7));
});
const expectedEnd = showEndMs + keyWait;
lines.push('show ends'.padEnd(10) + column(expectedEnd.toFixed(0), 13) +
           column((end - load).toFixed(2), 13) + column(((end - load - expectedEnd >= 0) ? '+' : '') +
           (end - load - expectedEnd).toFixed(2), 11));
lines.push(`(steps 14 onwards include the ${keyWait.toFixed(0)} ms the key wait lasted beyond its first ` +
           `pump;`, ` late: draw periods over ${latePeriodMs} ms)`, '');

const size = fs.statSync(page).size;
const figures = {
  onset_error_ms_max: worstOnsetError,
  draw_period_ms_median: percentile(0.5),
  draw_period_ms_p99: percentile(0.99),
  draw_period_ms_max: percentile(1),
  key_wait_pumps_beyond_the_waiting_one: pumpsBeyondTheWaitingOne,
  first_paint_ms: firstPaint,
  file_bytes: size,
  site_first_visit_first_paint_ms: visits.first,
  site_repeat_visit_first_paint_ms: visits.repeat,
};
const rows = [
  ['worst step onset error (ms)', figures.onset_error_ms_max.toFixed(2), '<= 3'],
  ['draw period, median (ms)', figures.draw_period_ms_median.toFixed(3), '5.0 +- 0.2'],
  ['draw period, 99th percentile (ms)', figures.draw_period_ms_p99.toFixed(3), '<= 8'],
  ['draw period, maximum (ms)', figures.draw_period_ms_max.toFixed(3), ''],
  ['pumps in the key wait beyond the waiting one', pumpsBeyondTheWaitingOne, '0'],
  ['navigation to first paint (ms)', firstPaint.toFixed(1), '<= 500'],
  ['file size (bytes)', size, `<= ${1 << 20}`],
  ['site, first visit: navigation to first paint (ms)', visits.first.toFixed(1), ''],
  ['site, repeat visit: navigation to first paint (ms)', visits.repeat.toFixed(1), '<= 300'],
];
lines.push('figure'.padEnd(52) + column('measured', 10) + column('target', 14));
for (const [name, measured, target] of rows) lines.push(name.padEnd(52) + column(measured, 10) + column(target, 14));
lines.push(`(${periods.length} draw periods measured; the repeat visit was ${
    visits.fromWorker ? '' : 'NOT '}answered by the worker)`);
console.log(lines.join('\n'));
fs.writeFileSync(figuresPath, JSON.stringify(figures, null, 2) + '\n');
console.log(`\nfigures written to ${figuresPath}`);

// The site served on this machine, visited in a browser of its own: the first visit, which
// installs the worker, and a repeat visit after the page was left.
async function visitTheSite(folder) {
  const server = await serveSite(folder);
  const visitor = await open({engine: 'chromium', width: 1280, height: 800, served: true});
  const firstPaint = () => visitor.evaluate(`new Promise(resolve => {
    const look = () => {
      const [paint] = performance.getEntriesByName('first-paint');
      if (paint) resolve(paint.startTime); else setTimeout(look, 20);
    };
    look();
  })`);
  try {
    await visitor.goto(server.address);
    const first = await firstPaint();
    await visitor.evaluate('navigator.serviceWorker.ready.then(() => true)');
    await visitor.goto('about:blank');
    await visitor.goto(server.address);
    const repeat = await firstPaint();
    const fromWorker = await visitor.evaluate(
        "performance.getEntriesByType('navigation')[0].workerStart > 0");
    return {first, repeat, fromWorker};
  } finally {
    await visitor.close();
    server.process.kill();
  }
}
