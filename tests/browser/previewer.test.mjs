// The previewer end to end: the page in Chromium, the emulator behind it,
// the real module on the panel of examples/panel.cfg.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import {
  centre, childAreas, frame, gaugeIndex, openBrowser, openPanel, pagePoint, panelOf, post, typeControl, until,
} from './support.mjs';

const CLICK = 0x20000000;
const CLICK_REPEAT = 0x20200000;
const CLICK_DRAG = 0x20800000;
const HELP_HDG = 0xad87;

let browser;
before(async () => { browser = await openBrowser(); });
after(async () => { await browser?.close(); });

// Element `n` (1 = root) of a gauge, as the server last drew it.
async function element(page, gauge, n) {
  const panel = await panelOf(page);
  const f = await frame(page, gaugeIndex(panel, gauge));
  return f.elements[n - 1];
}

const logLines = (page, text) =>
  page.locator('#log li').evaluateAll((lis, t) => lis.map((li) => li.textContent).filter((s) => s.includes(t)), text);

// Avionics power off, then on from the side panel: the power-up tests start.
async function powerCycle(page) {
  const master = page.locator('#control-avionics-master');
  if (await master.isChecked()) await master.click();
  await until(async () => (await frame(page)).values['avionics-master'] === false, 'avionics power off');
  await master.click();
  await until(async () => (await frame(page)).values['avionics-master'] === true, 'avionics power on');
}

test('the page loads and shows every gauge of the panel, live', async () => {
  const page = await openPanel(browser.context);
  const panel = await panelOf(page);
  assert.equal(panel.gauges.length, await page.locator('#panel .gauge img').count());
  assert.ok(panel.gauges.some((g) => g.name === 'S_TEC55'));
  const first = (await frame(page)).update;
  await until(async () => (await frame(page)).update > first + 18, 'a second of updates');
  await until(async () => /update \d+/.test(await page.locator('#status').textContent()), 'the status line');
  // The panel fills the width it is given.
  const box = await page.locator('#panel').boundingBox();
  const wrap = await page.locator('#panel-wrap').boundingBox();
  assert.ok(box.width > wrap.width - 40, `panel ${box.width} px wide in ${wrap.width}`);
  assert.deepEqual(page.errors, []);
  await page.close();
});

test('the power-up test ends, and HDG lights after a click', async () => {
  const page = await openPanel(browser.context);
  await powerCycle(page);
  // Element 7 is the test pattern, 14 the HDG annunciator.
  await until(async () => (await element(page, 'S_TEC55', 7)).drawn, 'the test pattern');
  await until(async () => !(await element(page, 'S_TEC55', 7)).drawn, 'the end of the test');
  const hdgBefore = (await element(page, 'S_TEC55', 14)).frame;

  const panel = await panelOf(page);
  const [button] = childAreas(panel, 'S_TEC55', CLICK).filter((a) => a.help_id === HELP_HDG);
  assert.ok(button, 'S_TEC55 has an HDG button');
  const stec = page.locator(`#panel .gauge[data-index="${gaugeIndex(panel, 'S_TEC55')}"]`);
  const pictureBefore = await stec.getAttribute('data-version');
  const p = await pagePoint(page, 'S_TEC55', ...centre(button));
  await page.mouse.move(p.x, p.y);
  assert.equal(await stec.evaluate((el) => el.style.cursor), 'pointer');
  await page.mouse.click(p.x, p.y);

  await until(async () => (await element(page, 'S_TEC55', 14)).frame === 1 - hdgBefore, 'HDG to change');
  await until(async () => (await stec.getAttribute('data-version')) !== pictureBefore, 'a new picture of S_TEC55');
  assert.ok((await logLines(page, 'EvtApHeadingHold')).length >= 1);
  await page.close();
});

test('holding the VS knob steps the readout', async () => {
  const page = await openPanel(browser.context);
  const panel = await panelOf(page);
  // The knob's right half turns it up.
  const halves = childAreas(panel, 'S_TEC55', CLICK_REPEAT).sort((a, b) => a.box[0] - b.box[0]);
  assert.equal(halves.length, 2, 'the VS knob has two halves');
  const up = halves[1];
  const p = await pagePoint(page, 'S_TEC55', ...centre(up));
  await page.mouse.move(p.x, p.y);
  assert.equal(await page.locator(`#panel .gauge[data-index="${gaugeIndex(panel, 'S_TEC55')}"]`).evaluate((el) => el.style.cursor),
    up.cursor === 1 ? 'n-resize' : up.cursor === 2 ? 's-resize' : 'pointer');

  // Elements 3 and 4: the hundreds and thousands digits.
  const readout = async () => {
    const [h, t] = [await element(page, 'S_TEC55', 3), await element(page, 'S_TEC55', 4)];
    return `${t.frame}${h.frame}`;
  };
  const before = await readout();
  const stepsBefore = (await logLines(page, 'EvtApVsRefInc')).length;
  await page.mouse.down();
  // Held until the emulator has repeated the call a few times.
  await until(async () => (await logLines(page, 'EvtApVsRefInc')).length >= stepsBefore + 4, 'repeats while held');
  await page.mouse.up();
  await until(async () => (await readout()) !== before, `the readout to move from ${before}`);
  await page.close();
});

test('dragging the throttle moves the knob and the variable, also off the gauge', async () => {
  const page = await openPanel(browser.context);
  const panel = await panelOf(page);
  assert.equal((await post(page, '/api/control', { key: 'throttle', value: 0 })).status, 200);
  await until(async () => (await element(page, 'Throttle Lever', 2)).value === 0, 'the throttle closed');
  const lever = page.locator(`#panel .gauge[data-index="${gaugeIndex(panel, 'Throttle Lever')}"]`);
  const pictureBefore = await lever.getAttribute('data-version');

  const [area] = childAreas(panel, 'Throttle Lever', CLICK_DRAG);
  assert.ok(area, 'the lever has a drag area');
  const [cx] = centre(area);
  const start = await pagePoint(page, 'Throttle Lever', cx, area.box[1] + area.box[3] - 2);
  await page.mouse.move(start.x, start.y);
  await page.mouse.down();
  const mid = await pagePoint(page, 'Throttle Lever', cx, area.box[1] + Math.floor(area.box[3] / 2));
  await page.mouse.move(mid.x, mid.y, { steps: 5 });
  await until(async () => {
    const v = (await element(page, 'Throttle Lever', 2)).value;
    return v > 4000 && v < 12000;
  }, 'the lever half open');
  // Far above the gauge, and to the side: the drag goes on and opens it fully.
  await page.mouse.move(start.x + 200, 5, { steps: 5 });
  await page.mouse.up();
  await until(async () => (await frame(page)).values.throttle === 16383, 'the throttle variable at 16383');
  await until(async () => (await element(page, 'Throttle Lever', 2)).value === 16383, 'the slider at the top');
  assert.notEqual(await lever.getAttribute('data-version'), pictureBefore, 'the knob was redrawn');
  await page.close();
});

test('a tooltip reads the ground speed', async () => {
  const page = await openPanel(browser.context);
  // Paused, so that the model does not move the speed under the test.
  assert.equal((await post(page, '/api/pause', { on: true })).status, 200);
  try {
    await typeControl(page, 'ground-speed-kt', 140);
    await until(async () => Math.round((await frame(page)).values['ground-speed-kt']) === 140, 'the ground speed set');
    const p = await pagePoint(page, 'Airspeed', 150, 150);
    await page.mouse.move(p.x, p.y);
    const tooltip = page.locator('#tooltip');
    await tooltip.waitFor({ state: 'visible' });
    assert.equal(await tooltip.textContent(), 'Airspeed Indicator - Ground Speed: 140 knots');
    // Moving away hides it.
    await page.mouse.move(p.x + 400, p.y + 500);
    await tooltip.waitFor({ state: 'hidden' });
  } finally {
    await post(page, '/api/pause', { on: false });
  }
  await page.close();
});

test('the chime is played when the preselector\'s test ends', async () => {
  const page = await openPanel(browser.context);
  const played = page.waitForRequest((r) => r.url().includes('/api/sound?name=Sound%5Cdingdong.wav'), { timeout: 60000 });
  await powerCycle(page);
  const request = await played;
  const response = await request.response();
  assert.equal(response.status(), 200);
  assert.equal(response.headers()['content-type'], 'audio/wav');
  await until(async () => (await page.evaluate(() => window.talvor.soundsPlayed)).includes('Sound\\dingdong.wav'), 'the chime started');
  assert.ok((await logLines(page, 'dingdong.wav')).length >= 1);
  await page.close();
});
