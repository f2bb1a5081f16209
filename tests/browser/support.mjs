// Chromium driven by playwright-core against a running `talvor-panel serve`
// (its address in TALVOR_URL; run.sh starts one).
import { mkdtemp, rm } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';

export const URL = process.env.TALVOR_URL || 'http://127.0.0.1:8018/';

export const CHROMIUM_ARGS = [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
  // Sounds start without a user gesture, as they do in the simulator.
  '--autoplay-policy=no-user-gesture-required',
];

// A browser with a fresh profile; close() also removes the profile.
export async function openBrowser() {
  const profile = await mkdtemp(join(tmpdir(), 'talvor-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.TALVOR_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: CHROMIUM_ARGS,
    viewport: { width: 1500, height: 900 },
  });
  return {
    context,
    async close() {
      await context.close();
      await rm(profile, { recursive: true, force: true });
    },
  };
}

// A page of the previewer, loaded and showing the panel.
export async function openPanel(context) {
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(URL);
  await page.waitForFunction(() => window.talvor && window.talvor.frames > 0 &&
    window.talvor.gauges.length > 0 && window.talvor.gauges.every((g) => g.img.complete && g.img.naturalWidth > 0));
  page.errors = errors;
  return page;
}

// Polls `probe` until it returns something truthy; fails with `what` and the
// last value seen when it does not within `ms`.
export async function until(probe, what, ms = 60000) {
  const end = Date.now() + ms;
  let last;
  for (;;) {
    last = await probe();
    if (last) return last;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}; last saw ${JSON.stringify(last)}`);
    await new Promise((r) => setTimeout(r, 50));
  }
}

export const panelOf = (page) => page.evaluate(() => window.talvor.panel);

export function gaugeIndex(panel, name) {
  const i = panel.gauges.findIndex((g) => g.name === name);
  if (i < 0) throw new Error(`${name} is not on the panel`);
  return i;
}

// Child areas of a gauge whose mouse flags hold `flags`, each with the help id
// of its enclosing parent.
export function childAreas(panel, name, flags) {
  const out = [];
  const parents = [];
  for (const a of panel.gauges[gaugeIndex(panel, name)].areas) {
    parents.length = a.depth;
    if (a.type === 1) parents.push(a);
    if (a.type === 2 && (a.flags & flags) === flags) {
      const help = [...parents].reverse().find((p) => p.help_id);
      out.push({ ...a, help_id: help ? help.help_id : 0 });
    }
  }
  return out;
}

// Page coordinates of face pixel (fx, fy) of a gauge.
export async function pagePoint(page, name, fx, fy) {
  const panel = await panelOf(page);
  const i = gaugeIndex(panel, name);
  const g = panel.gauges[i];
  const box = await page.locator(`#panel .gauge[data-index="${i}"]`).boundingBox();
  return { x: box.x + ((fx + 0.5) * box.width) / g.face_w, y: box.y + ((fy + 0.5) * box.height) / g.face_h };
}

export const centre = (area) => [area.box[0] + Math.floor(area.box[2] / 2), area.box[1] + Math.floor(area.box[3] / 2)];

// The latest frame as the server has it, with one gauge's elements.
export function frame(page, inspect = 0) {
  return page.evaluate(async (i) => (await fetch(`/api/frame?since=0&wait=0&inspect=${i}`)).json(), inspect);
}

export function post(page, path, body) {
  return page.evaluate(async ([p, b]) => {
    const r = await fetch(p, { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(b) });
    return { status: r.status, body: await r.json() };
  }, [path, body]);
}

// Sets a side-panel number the way a user does: type it and leave the field.
export async function typeControl(page, key, value) {
  const input = page.locator(`#control-${key}`);
  await input.fill(String(value));
  await input.press('Enter');
  await input.blur();
}
