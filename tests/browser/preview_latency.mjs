// Benchmark of the previewer (not a test: it prints figures and asserts
// nothing): updates a second sustained with the full panel while a page
// watches and the airspeed needle moves, and click-to-pixels, the time from
// a button going down in the page to the changed gauge decoded there.
// Run through `tests/browser/run.sh --bench`.
import {
  centre, childAreas, frame, gaugeIndex, openBrowser, openPanel, pagePoint, panelOf, post, until,
} from './support.mjs';

const SECONDS = Number(process.env.TALVOR_BENCH_SECONDS || 10);
const CLICKS = Number(process.env.TALVOR_BENCH_CLICKS || 20);

const stats = (page) => page.evaluate(async () => (await fetch('/api/stats')).json());
const quantile = (sorted, q) => sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))];

const browser = await openBrowser();
try {
  const page = await openPanel(browser.context);
  const panel = await panelOf(page);
  const stec = gaugeIndex(panel, 'S_TEC55');
  // Out of its power-up test, so that HDG shows.
  await until(async () => !(await frame(page, stec)).elements[6].drawn, 'the end of the power-up test', 60000);

  // Throttle closed: the airspeed needle and the lever keep changing.
  await post(page, '/api/control', { key: 'throttle', value: 0 });
  const a = await stats(page);
  const t0 = performance.now();
  await new Promise((r) => setTimeout(r, SECONDS * 1000));
  const b = await stats(page);
  const elapsed = (performance.now() - t0) / 1000;
  const rate = (b.updates - a.updates) / elapsed;
  console.log(`updates: ${rate.toFixed(2)}/s sustained over ${elapsed.toFixed(1)} s with ${panel.gauges.length} gauges ` +
    `(goal 18/s); ${b.mean_tick_ms.toFixed(2)} ms per update, drawing and publishing included`);

  const [hdg] = childAreas(panel, 'S_TEC55', 0x20000000).filter((x) => x.help_id === 0xad87);
  const p = await pagePoint(page, 'S_TEC55', ...centre(hdg));
  const sorted = (key) => page.evaluate((k) => window.talvor[k], key).then((v) => v.slice(-CLICKS).sort((x, y) => x - y));
  const clicks = async (label) => {
    for (let i = 0; i < CLICKS; ++i) {
      const n = await page.evaluate(() => window.talvor.latencies.length);
      await page.mouse.click(p.x, p.y);
      await until(async () => (await page.evaluate(() => window.talvor.latencies.length)) > n, 'the click to show', 10000);
      // Let the button's effect settle between presses.
      await new Promise((r) => setTimeout(r, 150 + Math.random() * 100));
    }
    const ms = await sorted('latencies');
    const arrived = await sorted('arrivals');
    console.log(`click-to-pixels, ${label}, over ${ms.length} HDG clicks: median ${quantile(ms, 0.5).toFixed(1)} ms, ` +
      `90th percentile ${quantile(ms, 0.9).toFixed(1)} ms, worst ${ms[ms.length - 1].toFixed(1)} ms (goal under 100 ms); ` +
      `the frame with it arrived after a median ${quantile(arrived, 0.5).toFixed(1)} ms`);
  };
  await clicks('the airspeed needle moving');
  // The panel at rest but for the clock: the throttle where the airspeed stays.
  await post(page, '/api/control', { key: 'airspeed-kt', value: 0 });
  await new Promise((r) => setTimeout(r, 1000));
  await clicks('the panel at rest');
  await page.close();
} finally {
  await browser.close();
}
