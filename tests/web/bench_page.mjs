// Plays Qorvelin's page once in headless Chromium, as a classroom plays it, and reports how
// closely it keeps the show's timeline: the table of the desktop's benchmark. Nothing talks to
// the page while the show plays: the page keeps its events, the space bar goes at a moment
// computed from the show's load (three seconds into the key wait), and the events are read at
// the end. The renderer's processor time is read from outside, from /proc. Then the site beside
// the page (make web's site/) is served here and visited twice: how soon the first visit
// paints, and a repeat visit that the worker answers from its cache.
//
//   node bench_page.mjs PAGE.html FIGURES.json

import fs from 'node:fs';
import path from 'node:path';
import url from 'node:url';
import {fileUrl, open, serveSite} from './browsers.mjs';

const [page, figuresPath] = process.argv.slice(2);
const keyPressIntoWaitMs = 3000;
const latePeriodMs = 6;
const drawPeriodMs = 5;

// The show's timeline, as the desktop's benchmark has it.
const timeline = fs.readFileSync(
    path.join(path.dirname(url.fileURLToPath(import.meta.url)), '../../bench/show_timeline.h'), 'utf8');
const onsets = timeline.match(/kStepOnsetsMs = \{([^}]*)\}/)[1].split(',').map(Number);
const showEndMs = Number(timeline.match(/kShowEndMs = (\d+)/)[1]);
const keyWaitStep = Number(timeline.match(/kKeyWaitStep = (\d+)/)[1]);
// The key wait's first pump, by the timeline: step 13 starts at 38070 and types 104 draws, the
// last of them 515 ms in; the wait's first pump follows 5 ms later.
const keyWaitFirstPumpMs = onsets[keyWaitStep] + 104 * drawPeriodMs;
const lastTypingStep = 9;

const sleep = ms => new Promise(resolve => setTimeout(resolve, Math.max(0, ms)));
const tab = await open({engine: 'chromium', width: 1280, height: 800});
await tab.beforeLoad(() => {
  window.qorvelinEvents = [];
  window.qorvelinTrace = (event, at, detail) => window.qorvelinEvents.push([event, at, detail]);
});
await tab.goto(fileUrl(page));

// Before the show's first tick: when it loaded, and the page's clock against this one's.
let load;
while (!(load = await tab.evaluate("performance.getEntriesByName('qorvelin:load')[0]?.startTime"))) {
  await sleep(20);
}
const sent = performance.now();
const pageNow = await tab.evaluate('performance.now()');
const answered = (sent + performance.now()) / 2;
const pageToHere = at => at - pageNow + answered;
const sampler = sampleRendererProcessorTime(tab.processId());

// The key, three seconds into the key wait, and the end, with nothing asked of the page.
await sleep(pageToHere(load + keyWaitFirstPumpMs + keyPressIntoWaitMs) - performance.now());
await tab.pressKey();
await sleep(pageToHere(load + showEndMs + keyPressIntoWaitMs + 2000) - performance.now());
let all;
while (!(all = await tab.evaluate('qorvelinEvents')).some(([event]) => event === 'end')) {
  await sleep(500);
}
const firstPaint = await tab.evaluate(
    "performance.getEntriesByName('first-paint').map(entry => entry.startTime)[0]");
const processor = sampler.stop();
await tab.close();

const visits = await visitTheSite(path.join(path.dirname(page), 'site'));

const end = all.find(([event]) => event === 'end')[1];
const keyAt = all.find(([event]) => event === 'key')[1];
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
// Steps 14 onwards come as long after the key's own moment as after the wait's first pump by
// the timeline.
const keyWait = keyAt - load - keyWaitFirstPumpMs;
// The wait's first pump on the grid of the step's first draw, and the pump the key ended it in.
const pumpsOfKeyWaitStep = pumps.filter(pump => pump.step === keyWaitStep);
const waitStarted = pumpsOfKeyWaitStep[0].at + 104 * drawPeriodMs;
const keyAnswered = pumpsOfKeyWaitStep.find(pump => pump.at >= keyAt)?.at ?? Infinity;
const pumpsBeyondTheWaitingOne =
    pumpsOfKeyWaitStep.filter(pump => pump.at > waitStarted && pump.at < keyAnswered).length;

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

// The renderer's processor time over the typing steps (each from its start to its last draw)
// and over the key wait (from half a second into it until just before the key).
const typing = processor.over(onsets.slice(1, lastTypingStep + 1).map((_, i) => {
  const step = i + 1;
  const drawn = pumps.filter(pump => pump.step === step);
  return [pageToHere(tickStarts[step]), pageToHere(drawn.at(-1).at)];
}));
const waiting = processor.over([[pageToHere(waitStarted + 500), pageToHere(keyAt - 100)]]);

const column = (text, width) => String(text).padStart(width);
const lines = [`Qorvelin page benchmark (headless Chromium, ${path.basename(page)}, unwatched)`, '',
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
lines.push(`(steps 14 onwards: from the key's own moment, ${keyWait.toFixed(1)} ms after the wait's ` +
           'first pump by', ` the timeline; late: draw periods over ${latePeriodMs} ms)`, '');

const size = fs.statSync(page).size;
const figures = {
  onset_error_ms_max: worstOnsetError,
  draw_period_ms_median: percentile(0.5),
  draw_period_ms_p99: percentile(0.99),
  draw_period_ms_max: percentile(1),
  key_wait_pumps_beyond_the_waiting_one: pumpsBeyondTheWaitingOne,
  renderer_processor_typing_percent: typing,
  renderer_processor_key_wait_percent: waiting,
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
  ['from the key to the pump that answered it (ms)', (keyAnswered - keyAt).toFixed(1), ''],
  ['renderer processor while typing (% of a core)', typing.toFixed(2), ''],
  ['renderer processor in the key wait (% of a core)', waiting.toFixed(2), ''],
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

// The processor time of the browser's renderers (the page's and any spare one), read from /proc
// every 20 ms (which ones, every second): `over(spans)` gives the share of a core they took in
// those spans of this clock.
function sampleRendererProcessorTime(browserId) {
  const ticksPerSecond = 100;  // the kernel's USER_HZ
  const parentOf = id => Number(fs.readFileSync(`/proc/${id}/stat`, 'utf8').split(') ')[1].split(' ')[1]);
  const renderers = () => fs.readdirSync('/proc').filter(name => /^\d+$/.test(name)).filter(id => {
    try {
      if (!fs.readFileSync(`/proc/${id}/cmdline`, 'utf8').includes('--type=renderer')) return false;
      for (let up = Number(id); up > 1; up = parentOf(up)) if (up === browserId) return true;
    } catch {
      // gone meanwhile
    }
    return false;
  });
  const seconds = id => {
    const fields = fs.readFileSync(`/proc/${id}/stat`, 'utf8').split(') ')[1].split(' ');
    return (Number(fields[11]) + Number(fields[12])) / ticksPerSecond;
  };
  const samples = [];
  let watched = [];
  const timer = setInterval(() => {
    if (samples.length % 50 === 0) watched = renderers();
    let total = 0;
    for (const id of watched) {
      try { total += seconds(id); } catch { /* gone */ }
    }
    samples.push([performance.now(), total]);
  }, 20);
  return {
    stop() {
      clearInterval(timer);
      const at = moment => samples.reduce((nearest, sample) =>
          Math.abs(sample[0] - moment) < Math.abs(nearest[0] - moment) ? sample : nearest);
      return {
        over: spans => {
          let used = 0;
          let lasted = 0;
          for (const [from, until] of spans) {
            const [start, startSeconds] = at(from);
            const [stop, stopSeconds] = at(until);
            used += stopSeconds - startSeconds;
            lasted += (stop - start) / 1000;
          }
          return 100 * used / lasted;
        },
      };
    },
  };
}

// The site served on this machine, visited in a browser of its own: the first visit, which
// installs the worker, and a repeat visit after the page was left.
async function visitTheSite(folder) {
  const server = await serveSite(folder);
  const visitor = await open({engine: 'chromium', width: 1280, height: 800, served: true});
  const paint = () => visitor.evaluate(`new Promise(resolve => {
    const look = () => {
      const [paint] = performance.getEntriesByName('first-paint');
      if (paint) resolve(paint.startTime); else setTimeout(look, 20);
    };
    look();
  })`);
  try {
    await visitor.goto(server.address);
    const first = await paint();
    await visitor.evaluate('navigator.serviceWorker.ready.then(() => true)');
    await visitor.goto('about:blank');
    await visitor.goto(server.address);
    const repeat = await paint();
    const fromWorker = await visitor.evaluate(
        "performance.getEntriesByType('navigation')[0].workerStart > 0");
    return {first, repeat, fromWorker};
  } finally {
    await visitor.close();
    server.process.kill();
  }
}
