// The previewer page: draws the panel the emulator streams, sends it the
// mouse, and shows what a host shows of the module (tooltips, help texts,
// cursors, sounds, elements, mouse areas, failures).
'use strict';

const CURSORS = { '-1': '', 1: 'n-resize', 2: 's-resize', 5: 'pointer' };
const KIND_NAMES = ['static', 'icon', 'needle', 'string', 'slider'];
const AREA_TYPES = { 1: 'parent', 2: 'child', 4: 'tooltip' };
const REST_MS = 400;
const LOG_LIMIT = 300;

const $ = (id) => document.getElementById(id);
const view = {
  panelDiv: $('panel'), wrap: $('panel-wrap'), tooltip: $('tooltip'), status: $('status'),
  controls: $('controls'), failures: $('failures'), log: $('log'), sounds: $('sounds'),
  inspectSelect: $('inspect-gauge'),
};

// Everything the page knows; exposed as window.talvor for tests and benchmarks.
const state = {
  boot: null,          // the server's run id: a change means it restarted
  panel: null,         // /api/panel
  version: 0,          // the newest frame version applied
  gauges: [],          // per instance: {el, img, version}
  inspect: 0,
  paused: false,
  frames: 0,
  latencies: [],       // click-to-pixels, ms: button down to the changed gauge decoded
  arrivals: [],        // the same clicks: button down to the frame with that picture received
  pendingClick: null,  // {gauge, t0, after}: `after` the frame version the press went into
  decoded: [],         // recent pictures shown: {gauge, version, t}
  sounds: new Map(),   // name -> <audio>
  soundsPlayed: [],    // names, in order, as the page started them
  lastError: '',
};
window.talvor = state;

async function api(method, path, body) {
  const init = { method, headers: {} };
  if (body !== undefined) {
    init.headers['Content-Type'] = 'application/json';
    init.body = JSON.stringify(body);
  }
  const r = await fetch(path, init);
  let json = null;
  try { json = await r.json(); } catch (_) { /* not JSON */ }
  if (!r.ok) {
    const message = (json && json.error) || `${r.status} ${r.statusText}`;
    state.lastError = message;
    throw Object.assign(new Error(message), { status: r.status });
  }
  return json;
}

function setStatus(text, error) {
  view.status.textContent = text;
  view.status.classList.toggle('error', !!error);
}

// ---- panel layout -----------------------------------------------------------

let serverScale = 1;
let scaleTimer = 0;

function layout() {
  const panel = state.panel;
  if (!panel) return;
  const width = Math.max(50, view.wrap.clientWidth - 16);
  const s = width / panel.width;
  view.panelDiv.style.height = `${Math.round(panel.height * s)}px`;
  panel.gauges.forEach((g, i) => {
    const el = state.gauges[i].el;
    el.style.left = `${g.x * s}px`;
    el.style.top = `${g.y * s}px`;
    el.style.width = `${g.w * s}px`;
    el.style.height = `${g.h * s}px`;
  });
  // Ask for pictures as sharp as the screen shows them (in quarter steps).
  const want = Math.min(2, Math.max(0.25, Math.round(s * (window.devicePixelRatio || 1) * 4) / 4));
  if (want !== serverScale) {
    clearTimeout(scaleTimer);
    scaleTimer = setTimeout(() => {
      api('POST', '/api/view', { scale: want }).then(() => { serverScale = want; }).catch(() => {});
    }, 200);
  }
}

function buildPanel(panel) {
  state.panel = panel;
  serverScale = panel.scale;
  view.panelDiv.replaceChildren();
  view.panelDiv.style.background = panel.background;
  state.gauges = panel.gauges.map((g, i) => {
    const el = document.createElement('div');
    el.className = 'gauge';
    el.dataset.gauge = g.name;
    el.dataset.index = i;
    el.title = '';
    const img = document.createElement('img');
    img.alt = g.name;
    el.append(img);
    for (const a of g.areas) {
      if (!AREA_TYPES[a.type]) continue;
      const box = document.createElement('div');
      box.className = `area ${AREA_TYPES[a.type]}`;
      const [x, y, w, h] = a.box;
      Object.assign(box.style, {
        left: `${(100 * x) / g.face_w}%`, top: `${(100 * y) / g.face_h}%`,
        width: `${(100 * w) / g.face_w}%`, height: `${(100 * h) / g.face_h}%`,
      });
      el.append(box);
    }
    view.panelDiv.append(el);
    attachMouse(el, i);
    return { el, img, version: 0 };
  });
  buildControls(panel);
  buildInspector(panel);
  layout();
}

// ---- mouse ------------------------------------------------------------------

// Face pixels of the gauge under a pointer event; may lie outside the face
// while a drag goes on.
function facePoint(e, i) {
  const g = state.panel.gauges[i];
  const r = state.gauges[i].el.getBoundingClientRect();
  return {
    x: Math.floor(((e.clientX - r.left) * g.face_w) / r.width),
    y: Math.floor(((e.clientY - r.top) * g.face_h) / r.height),
  };
}

function inBox(p, [x, y, w, h]) { return x <= p.x && p.x < x + w && y <= p.y && p.y < y + h; }

// The area the host would pick for a point: the first child holding it.
function cursorAt(i, p) {
  for (const a of state.panel.gauges[i].areas) {
    if (a.type === 2 && inBox(p, a.box)) return a.cursor;
  }
  return -1;
}

// Mouse messages go out one at a time, in order; a run of moves collapses
// into the latest.
const mouseQueue = [];
let mouseBusy = false;

function sendMouse(msg) {
  const last = mouseQueue[mouseQueue.length - 1];
  if (msg.action === 'move' && last && last.action === 'move' && last.gauge === msg.gauge) {
    mouseQueue[mouseQueue.length - 1] = msg;
  } else {
    mouseQueue.push(msg);
  }
  if (!mouseBusy) pumpMouse();
}

async function pumpMouse() {
  mouseBusy = true;
  while (mouseQueue.length) {
    const msg = mouseQueue.shift();
    const click = msg.action === 'down' ? state.pendingClick : null;
    try {
      const reply = await api('POST', '/api/mouse', msg);
      if (click && click === state.pendingClick) {
        click.after = reply.version;
        measureClick();
      }
    } catch (e) { setStatus(e.message, true); }
  }
  mouseBusy = false;
}

// Click-to-pixels: from the button going down to the first picture of that
// gauge drawn after the press, decoded and on screen.
function measureClick() {
  const click = state.pendingClick;
  if (!click || click.after === null) return;
  const shown = state.decoded.find((d) => d.gauge === click.gauge && d.version > click.after);
  if (!shown) return;
  state.pendingClick = null;
  state.latencies.push(shown.t - click.t0);
  state.arrivals.push(shown.received - click.t0);
}

let rest = null;  // {timer, gauge, point, clientX, clientY}

function hideTooltip() {
  if (rest) clearTimeout(rest.timer);
  rest = null;
  view.tooltip.hidden = true;
}

function attachMouse(el, i) {
  let down = null;  // pointerId while this gauge holds the button

  el.addEventListener('pointerdown', (e) => {
    if (e.button !== 0 || down !== null) return;
    const p = facePoint(e, i);
    const g = state.panel.gauges[i];
    if (p.x < 0 || p.y < 0 || p.x >= g.face_w || p.y >= g.face_h) return;
    e.preventDefault();
    hideTooltip();
    el.setPointerCapture(e.pointerId);
    down = e.pointerId;
    state.pendingClick = { gauge: i, t0: performance.now(), after: null };
    sendMouse({ gauge: i, action: 'down', x: p.x, y: p.y });
  });

  el.addEventListener('pointermove', (e) => {
    const p = facePoint(e, i);
    if (down !== null) {
      if (e.pointerId === down) sendMouse({ gauge: i, action: 'move', x: p.x, y: p.y });
      return;
    }
    el.style.cursor = CURSORS[cursorAt(i, p)] || '';
    if (rest && rest.gauge === i && Math.abs(rest.clientX - e.clientX) < 3 && Math.abs(rest.clientY - e.clientY) < 3) return;
    hideTooltip();
    rest = { gauge: i, point: p, clientX: e.clientX, clientY: e.clientY };
    rest.timer = setTimeout(() => showTooltip(rest), REST_MS);
  });

  const release = (e) => {
    if (down === null || e.pointerId !== down) return;
    down = null;
    const p = facePoint(e, i);
    sendMouse({ gauge: i, action: 'up', x: p.x, y: p.y });
  };
  el.addEventListener('pointerup', release);
  el.addEventListener('pointercancel', release);
  el.addEventListener('lostpointercapture', release);
  el.addEventListener('pointerleave', () => { if (down === null) hideTooltip(); });
}

async function showTooltip(at) {
  if (!at || rest !== at) return;
  const { x, y } = at.point;
  let reply;
  try {
    reply = await api('GET', `/api/tooltip?gauge=${at.gauge}&x=${x}&y=${y}`);
  } catch (_) { return; }
  if (rest !== at || !reply.text) return;
  const wrapBox = view.wrap.getBoundingClientRect();
  view.tooltip.textContent = reply.text;
  view.tooltip.style.left = `${at.clientX - wrapBox.left + 12}px`;
  view.tooltip.style.top = `${at.clientY - wrapBox.top + 16}px`;
  view.tooltip.hidden = false;
}

// ---- side panel -------------------------------------------------------------

const controlInputs = new Map();  // key -> input element

function buildControls(panel) {
  view.controls.replaceChildren();
  controlInputs.clear();
  for (const c of panel.controls) {
    const label = document.createElement('label');
    label.textContent = c.unit ? `${c.label} (${c.unit})` : c.label;
    let input;
    if (c.kind === 'toggle') {
      input = document.createElement('input');
      input.type = 'checkbox';
    } else if (c.kind === 'select') {
      input = document.createElement('select');
      for (const [value, text] of c.options) {
        const o = document.createElement('option');
        o.value = value;
        o.textContent = text;
        input.append(o);
      }
    } else if (c.kind === 'output') {
      input = document.createElement('output');
    } else {
      input = document.createElement('input');
      input.type = c.kind === 'time' ? 'text' : 'number';
      if (c.kind === 'time') input.placeholder = 'HH:MM:SS';
      if (c.step !== undefined) input.step = c.step;
      if (c.min !== undefined) input.min = c.min;
      if (c.max !== undefined) input.max = c.max;
    }
    input.id = `control-${c.key}`;
    input.name = c.key;
    label.htmlFor = input.id;
    if (c.kind !== 'output') {
      input.addEventListener('change', () => {
        let value;
        if (c.kind === 'toggle') value = input.checked;
        else if (c.kind === 'time') value = input.value;
        else value = Number(input.value);
        api('POST', '/api/control', { key: c.key, value })
          .then(() => { input.classList.remove('invalid'); input.title = ''; })
          .catch((e) => { input.classList.add('invalid'); input.title = e.message; });
      });
    }
    view.controls.append(label, input);
    controlInputs.set(c.key, input);
  }

  view.failures.replaceChildren();
  for (const f of panel.failures) {
    const label = document.createElement('label');
    const box = document.createElement('input');
    box.type = 'checkbox';
    box.id = `failure-${f.key}`;
    box.addEventListener('change', () => {
      api('POST', '/api/failure', { key: f.key, on: box.checked }).catch((e) => setStatus(e.message, true));
    });
    label.append(box, ` ${f.key} ${f.label}`);
    view.failures.append(label);
  }
}

function showValues(values, failures) {
  for (const [key, input] of controlInputs) {
    if (!(key in values) || document.activeElement === input) continue;
    const v = values[key];
    if (input.type === 'checkbox') input.checked = !!v;
    else if (input.tagName === 'OUTPUT') input.value = typeof v === 'number' ? formatNumber(v) : v;
    else if (input.tagName === 'SELECT') input.value = String(v);
    else input.value = typeof v === 'number' ? formatNumber(v) : v;
  }
  for (const f of state.panel.failures) {
    const box = $(`failure-${f.key}`);
    if (box && document.activeElement !== box) box.checked = failures.includes(f.key);
  }
}

function formatNumber(v) {
  if (!Number.isFinite(v)) return String(v);
  return Math.abs(v) >= 100 || Number.isInteger(v) ? String(Math.round(v)) : v.toFixed(2);
}

function appendLog(entries, live) {
  for (const entry of entries) {
    const li = document.createElement('li');
    if (entry.kind === 'sound') {
      li.className = entry.found ? 'sound' : 'sound missing';
      li.textContent = `#${entry.update} sound ${entry.name}${entry.found ? '' : ' (no such file)'}`;
      if (live && entry.found) play(entry.name);
    } else {
      li.className = 'event';
      li.textContent = `#${entry.update} ${entry.name || 'event'} ${entry.event}` + (entry.value ? ` value ${entry.value}` : '');
    }
    view.log.prepend(li);
  }
  while (view.log.children.length > LOG_LIMIT) view.log.lastElementChild.remove();
}

// One <audio> per file; a new start restarts it, as a new call of the
// host's player does.
function play(name) {
  let audio = state.sounds.get(name);
  if (!audio) {
    audio = document.createElement('audio');
    audio.preload = 'auto';
    audio.src = `/api/sound?name=${encodeURIComponent(name)}`;
    audio.dataset.name = name;
    audio.dataset.plays = '0';
    view.sounds.append(audio);
    state.sounds.set(name, audio);
  }
  audio.dataset.plays = String(Number(audio.dataset.plays) + 1);
  state.soundsPlayed.push(name);
  audio.currentTime = 0;
  const started = audio.play();
  if (started) started.catch(() => { /* the browser wants a gesture first */ });
}

// ---- inspector --------------------------------------------------------------

function buildInspector(panel) {
  view.inspectSelect.replaceChildren();
  panel.gauges.forEach((g, i) => {
    const o = document.createElement('option');
    o.value = i;
    o.textContent = `${i}: ${g.name}`;
    view.inspectSelect.append(o);
  });
  if (state.inspect >= panel.gauges.length) state.inspect = 0;
  view.inspectSelect.value = state.inspect;
  showAreas();
  markSelected();
}

function markSelected() {
  state.gauges.forEach((g, i) => g.el.classList.toggle('selected', i === state.inspect));
}

const hex = (n) => `0x${n.toString(16)}`;

function showAreas() {
  const tbody = $('areas').tBodies[0];
  tbody.replaceChildren();
  const g = state.panel.gauges[state.inspect];
  if (!g) return;
  for (const a of g.areas) {
    const tr = tbody.insertRow();
    const name = AREA_TYPES[a.type] || `type ${a.type}`;
    const cells = ['\u00a0'.repeat(2 * a.depth) + name, a.box.join(','), a.cursor, a.help_id ? hex(a.help_id) : '', a.flags ? hex(a.flags) : ''];
    for (const c of cells) tr.insertCell().textContent = c;
    if (a.tooltip) tr.title = a.tooltip;
  }
}

function showElements(elements) {
  const tbody = $('elements').tBodies[0];
  while (tbody.rows.length > elements.length) tbody.deleteRow(-1);
  elements.forEach((e, k) => {
    const tr = tbody.rows[k] || tbody.insertRow();
    while (tr.cells.length < 8) tr.insertCell();
    const cells = [
      k + 1, KIND_NAMES[e.kind] || e.kind, e.kind === 3 ? '' : hex(e.bitmap_id),
      typeof e.value === 'number' ? +e.value.toFixed(4) : e.value,
      e.frame === null || e.frame === undefined ? '' : e.frame,
      e.drawn ? 'yes' : 'no', hex(e.image_flags || 0),
      (e.failures || []).map(([key, action]) => `${key}:${action}`).join(' '),
    ];
    cells.forEach((c, j) => { if (tr.cells[j].textContent !== String(c)) tr.cells[j].textContent = c; });
    tr.classList.toggle('hidden', !e.drawn);
  });
}

// ---- frames -----------------------------------------------------------------

function applyFrame(f, received) {
  const first = state.frames === 0;
  state.frames += 1;
  state.version = f.version;
  state.paused = f.paused;
  for (const g of f.gauges) {
    const slot = state.gauges[g.index];
    if (!slot) continue;
    slot.version = g.version;
    slot.el.dataset.version = g.version;
    const img = slot.img;
    img.src = `data:image/png;base64,${g.png}`;
    if (!first) {
      const shown = { gauge: g.index, version: g.version, received, t: 0 };
      img.decode().then(() => {
        shown.t = performance.now();
        state.decoded.push(shown);
        if (state.decoded.length > 64) state.decoded.shift();
        measureClick();
      }).catch(() => {});
    }
  }
  showValues(f.values, f.failures);
  appendLog(f.log, !first);
  if (f.elements) showElements(f.elements);
  $('pause').setAttribute('aria-pressed', String(f.paused));
  $('pause').textContent = f.paused ? 'Run' : 'Pause';
  $('step').disabled = !f.paused;
  if (document.activeElement !== $('night')) $('night').checked = f.night;
  setStatus(`update ${f.update}${f.paused ? ' (paused)' : ''} · ${f.rate.toFixed(1)}/s`);
}

async function start() {
  for (;;) {
    try {
      const panel = await api('GET', '/api/panel');
      state.boot = panel.boot;
      state.version = 0;
      state.frames = 0;
      buildPanel(panel);
      break;
    } catch (e) {
      setStatus(`cannot reach the emulator: ${e.message}`, true);
      await new Promise((r) => setTimeout(r, 1000));
    }
  }
  for (;;) {
    try {
      const f = await api('GET', `/api/frame?since=${state.version}&inspect=${state.inspect}`);
      if (f.boot !== state.boot) { start(); return; }  // the emulator restarted
      applyFrame(f, performance.now());
    } catch (e) {
      setStatus(`lost the emulator: ${e.message}`, true);
      await new Promise((r) => setTimeout(r, 1000));
    }
  }
}

$('pause').addEventListener('click', () => {
  api('POST', '/api/pause', { on: !state.paused }).catch((e) => setStatus(e.message, true));
});
$('step').addEventListener('click', () => {
  api('POST', '/api/step', { updates: 1 }).catch((e) => setStatus(e.message, true));
});
$('night').addEventListener('change', (e) => {
  api('POST', '/api/night', { on: e.target.checked }).catch((err) => setStatus(err.message, true));
});
$('show-areas').addEventListener('change', (e) => view.panelDiv.classList.toggle('show-areas', e.target.checked));
$('clear-log').addEventListener('click', () => view.log.replaceChildren());
view.inspectSelect.addEventListener('change', () => {
  state.inspect = Number(view.inspectSelect.value);
  showAreas();
  markSelected();
});
window.addEventListener('resize', layout);

start();
