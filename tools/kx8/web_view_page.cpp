// The one page of the web view: HTML, style and script built into the program, so that the view
// works with no network and fetches nothing but its own API. Its colours are the suite's palette.
#include <kx8rt/platform/colors.h>

#include <cstdio>
#include <string>

#include "web_view.h"

namespace kx8tool {

namespace {

// "#RRGGBB" of a palette colour (stored 0x00BBGGRR).
std::string Css(kx8::TColor c) {
  char b[8];
  std::snprintf(b, sizeof b, "#%02X%02X%02X", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
  return b;
}

const char* const kStyle = R"CSS(
body { font: 14px/1.4 system-ui, sans-serif; margin: 0; color: #000; background: @WINDOW@; }
header { background: @BAR@; padding: 8px 12px; display: flex; flex-wrap: wrap; gap: 8px; align-items: center; }
header label { margin-left: 8px; }
header h1 { font-size: 16px; margin: 0 12px 0 0; }
#word { width: 26em; font-size: 15px; padding: 3px 5px; }
#error { color: @ERROR@; font-weight: bold; }
#progress { margin-left: auto; }
nav { padding: 6px 12px 0; border-bottom: 1px solid @GRAY@; }
nav button { border: 1px solid @GRAY@; border-bottom: none; background: @FACE@; padding: 4px 12px; cursor: pointer; }
nav button.on { background: @WINDOW@; font-weight: bold; }
section { padding: 8px 12px; }
.hidden { display: none; }
.tools { display: flex; gap: 8px; align-items: center; margin-bottom: 6px; flex-wrap: wrap; }
.keys button { font-family: monospace; min-width: 3.2em; cursor: pointer; }
.keys button.k1 { background: @KEY1@; } .keys button.k2 { background: @KEY2@; } .keys button.k3 { background: @KEY3@; }
.row { display: grid; grid-template-columns: 5em 12em 1fr; gap: 6px; white-space: nowrap; border-bottom: 1px solid #eee; }
.row.headrow { font-weight: bold; border-bottom: 1px solid @GRAY@; }
.num { text-align: right; color: @GRAY@; }
.file { overflow: hidden; text-overflow: ellipsis; color: @GRAY@; }
.kwic { display: grid; grid-template-columns: 1fr auto 1fr; gap: 0.4em; overflow: hidden; font-family: ui-monospace, monospace; }
.left { display: flex; justify-content: flex-end; overflow: hidden; }
.right { overflow: hidden; }
.node { color: @NODE@; font-weight: bold; }
.c1 { color: @C1@; } .c2 { color: @C2@; } .c3 { color: @C3@; }
table { border-collapse: collapse; }
th, td { padding: 2px 8px; border-bottom: 1px solid #eee; text-align: left; }
th.sortable { cursor: pointer; text-decoration: underline dotted; }
td.n { text-align: right; font-variant-numeric: tabular-nums; }
svg.plot { background: @PLOTBG@; border: 1px solid @GRAY@; }
svg.plot line { stroke: @NODE@; stroke-width: 1; }
)CSS";

const char* const kBody = R"HTML(
<header>
  <h1>kx8 concordance</h1>
  <form id="form" autocomplete="off">
    <input id="word" name="word" maxlength="1000" placeholder="search word: alternatives a/b, * ? ^ #, ==Case==, &lt;tags&gt;" autofocus>
    <label><input type="checkbox" id="case"> case</label>
    <label>context <input type="number" id="context" value="40" min="0" max="200" style="width:4em"></label>
    <button id="go" type="submit">Search</button>
    <button id="cancel" type="button" disabled>Cancel</button>
  </form>
  <span id="error" role="alert"></span>
  <span id="progress"><progress id="bar" max="1" value="0"></progress> <span id="status"></span></span>
</header>
<nav><button data-tab="lines" class="on">Concordance</button><button data-tab="texts">Texts</button><button data-tab="wordlist">Word list</button></nav>
<section id="lines">
  <div class="tools">
    <span class="keys">Sort on: <button data-key="L3">L3</button><button data-key="L2">L2</button><button data-key="L1">L1</button><button data-key="word">Hit</button><button data-key="R1">R1</button><button data-key="R2">R2</button><button data-key="R3">R3</button><button data-key="file">File</button></span>
    <span id="sortshown"></span> <button id="unsort" type="button">Text order</button>
    <span style="margin-left:auto"><button id="prev" type="button">&#8592; Previous</button> <span id="pageinfo"></span> <button id="next" type="button">Next &#8594;</button></span>
  </div>
  <div class="row headrow"><span class="num">N</span><span class="file">File</span><div class="kwic"><div class="left" data-key="L1">Left</div><div data-key="word">Hit</div><div data-key="R1">Right</div></div></div>
  <div id="kwic"></div>
</section>
<section id="texts" class="hidden"><table><thead><tr><th>File</th><th>Hits</th><th>Words</th><th>Per million</th><th>Plot</th></tr></thead><tbody id="textrows"></tbody></table></section>
<section id="wordlist" class="hidden">
  <div class="tools"><button id="wlload" type="button">Make the word list</button> <span id="wlinfo"></span>
    <a id="csv" href="/api/wordlist.csv" download="wordlist.csv">Download as CSV</a>
    <span style="margin-left:auto"><button id="wlprev" type="button">&#8592;</button> <span id="wlpage"></span> <button id="wlnext" type="button">&#8594;</button></span></div>
  <table><thead><tr><th class="sortable" data-wl="rank">Rank</th><th class="sortable" data-wl="word">Word</th><th class="sortable" data-wl="freq">Freq.</th><th>%</th></tr></thead><tbody id="wlrows"></tbody></table>
</section>
)HTML";

const char* const kScript = R"JS(
'use strict';
const $ = id => document.getElementById(id);
const PAGE = 100;
const st = { id: 0, offset: 0, total: 0, running: false, keys: [], wlSort: 'freq', wlOffset: 0, wlTypes: 0, timer: 0 };

async function api(path, body) {
  const init = body === undefined ? {} : { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body) };
  const r = await fetch(path, init);
  const j = await r.json().catch(() => ({ error: 'HTTP ' + r.status }));
  if (!r.ok) throw new Error(j.error || ('HTTP ' + r.status));
  return j;
}
function el(tag, cls, text) { const e = document.createElement(tag); if (cls) e.className = cls; if (text !== undefined) e.textContent = text; return e; }
function fmt(n, d) { return Number(n).toLocaleString('en', { maximumFractionDigits: d || 0, minimumFractionDigits: d || 0 }); }

// The context with its words L1..L3 (or R1..R3) in their colours; spans are [start, length] in UTF-16 units.
function coloured(text, spans) {
  const frag = document.createDocumentFragment();
  const marks = spans.map((s, i) => ({ a: s[0], n: s[1], c: 'c' + (i + 1) })).sort((x, y) => x.a - y.a);
  let at = 0;
  for (const m of marks) {
    if (m.a > at) frag.append(text.slice(at, m.a));
    frag.append(el('span', m.c, text.slice(m.a, m.a + m.n)));
    at = m.a + m.n;
  }
  if (at < text.length) frag.append(text.slice(at));
  return frag;
}
function renderLines(j) {
  const box = $('kwic');
  box.replaceChildren();
  for (const l of j.lines) {
    const row = el('div', 'row line');
    row.append(el('span', 'num', l.n));
    const f = el('span', 'file', l.file.split('/').pop()); f.title = l.file + ':' + l.pos + ' (' + l.percent + '%)'; row.append(f);
    const k = el('div', 'kwic'); k.dir = l.rtl ? 'rtl' : 'ltr';
    const left = el('div', 'left'); const inner = el('span'); inner.append(coloured(l.left, l.lwords)); left.append(inner);
    const right = el('div', 'right'); right.append(coloured(l.right, l.rwords));
    k.append(left, el('span', 'node', l.hit), right);
    row.append(k);
    box.append(row);
  }
  st.total = j.total;
  const last = Math.min(st.offset + PAGE, j.total);
  $('pageinfo').textContent = j.total ? fmt(st.offset + 1) + '\u2013' + fmt(last) + ' of ' + fmt(j.total) + (j.running ? '+' : '') : 'no lines';
  $('prev').disabled = st.offset === 0;
  $('next').disabled = last >= j.total;
}
async function loadPage(wait) {
  if (!st.id) return;
  const j = await api('/api/lines?id=' + st.id + '&offset=' + st.offset + '&count=' + PAGE + '&wait=' + (wait || 0));
  if (j.id === st.id) { renderLines(j); if (!j.running) showSorted(j.sort); }
}
function showSort() {
  document.querySelectorAll('.keys button').forEach(b => {
    const i = st.keys.findIndex(k => k.replace('-', '') === b.dataset.key);
    b.className = i >= 0 ? 'k' + (i + 1) : '';
    b.textContent = b.dataset.key === 'word' ? 'Hit' : b.dataset.key === 'file' ? 'File' : b.dataset.key;
    if (i >= 0) b.textContent += st.keys[i].startsWith('-') ? ' \u2193' : ' \u2191';
  });
}
function showSorted(spec) { $('sortshown').textContent = spec ? 'sorted on ' + spec.split(',').join(', ') : 'in text order'; }
async function sortOn(key) {
  // The key clicked becomes the first; clicking the first key again turns its direction.
  const i = st.keys.findIndex(k => k.replace('-', '') === key);
  if (i === 0) st.keys[0] = st.keys[0].startsWith('-') ? key : '-' + key;
  else { if (i > 0) st.keys.splice(i, 1); st.keys.unshift(key); st.keys = st.keys.slice(0, 3); }
  await applySort();
}
async function applySort() {
  showSort();
  if (!st.id) return showSorted(st.keys.join(','));
  $('sortshown').textContent = 'sorting\u2026';
  try {
    const j = await api('/api/sort', { id: st.id, keys: st.keys.join(',') });
    $('error').textContent = '';
    st.offset = 0;
    await loadPage(0);
    showSorted(j.sort);
  } catch (e) { $('error').textContent = e.message; showSorted(''); }
}
function plot(positions) {
  const NS = 'http://www.w3.org/2000/svg', W = 400, H = 22;
  const svg = document.createElementNS(NS, 'svg');
  svg.setAttribute('class', 'plot'); svg.setAttribute('width', W); svg.setAttribute('height', H); svg.setAttribute('viewBox', '0 0 ' + W + ' ' + H);
  for (const p of positions) {
    const x = (p / 100 * (W - 2) + 1).toFixed(2), line = document.createElementNS(NS, 'line');
    line.setAttribute('class', 'hit'); line.setAttribute('x1', x); line.setAttribute('x2', x); line.setAttribute('y1', 2); line.setAttribute('y2', H - 2);
    svg.append(line);
  }
  return svg;
}
async function loadTexts() {
  if (!st.id) return;
  const j = await api('/api/texts?id=' + st.id);
  const body = $('textrows'); body.replaceChildren();
  for (const t of j.texts) {
    const tr = el('tr', 'text');
    tr.append(el('td', '', t.file), el('td', 'n', fmt(t.hits)), el('td', 'n', fmt(t.words)), el('td', 'n', fmt(t.per_million, 1)));
    const td = el('td'); td.append(plot(t.positions)); if (!t.searched && t.skipped) td.append(' ' + t.skipped); tr.append(td);
    body.append(tr);
  }
}
async function poll() {
  if (!st.id) return;
  const id = st.id;
  const s = await api('/api/status?id=' + id).catch(e => ({ error: e.message }));
  if (id !== st.id) return;
  if (s.error) $('error').textContent = s.error;
  $('bar').max = Math.max(1, s.texts || 1); $('bar').value = s.texts_done || 0;
  $('status').textContent = (s.running ? 'searching\u2026 ' : s.stopped ? 'stopped: ' : 'done: ') + fmt(s.hits || 0) + ' hits, ' +
    fmt(s.texts_done || 0) + ' of ' + fmt(s.texts || 0) + ' texts, ' + fmt((s.elapsed_ms || 0) / 1000, 2) + ' s';
  st.running = !!s.running;
  if (st.total < st.offset + PAGE || !s.running) await loadPage(0);
  if (s.running) { st.timer = setTimeout(poll, 300); return; }
  $('cancel').disabled = true; $('go').disabled = false;
  if (st.keys.length) await applySort();
  await loadTexts();
}
async function search(ev) {
  if (ev) ev.preventDefault();
  clearTimeout(st.timer);
  $('error').textContent = '';
  try {
    const j = await api('/api/search', { word: $('word').value, case: $('case').checked, context: Number($('context').value) });
    st.id = j.id; st.offset = 0; st.total = 0;
    $('cancel').disabled = false; $('go').disabled = true;
    await loadPage(1500);
    await poll();
  } catch (e) { $('error').textContent = e.message; }
}
async function loadWordList() {
  $('wlinfo').textContent = 'counting\u2026';
  try {
    const j = await api('/api/wordlist?sort=' + st.wlSort + '&offset=' + st.wlOffset + '&count=' + PAGE);
    const body = $('wlrows'); body.replaceChildren();
    for (const w of j.words) {
      const tr = el('tr');
      tr.append(el('td', 'n', w.rank), el('td', '', w.word), el('td', 'n', fmt(w.freq)), el('td', 'n', fmt(w.percent, 2)));
      body.append(tr);
    }
    st.wlTypes = j.types;
    $('wlinfo').textContent = fmt(j.tokens) + ' tokens, ' + fmt(j.types) + ' types';
    $('wlpage').textContent = j.types ? fmt(st.wlOffset + 1) + '\u2013' + fmt(Math.min(st.wlOffset + PAGE, j.types)) : '';
    $('csv').href = '/api/wordlist.csv?sort=' + st.wlSort;
  } catch (e) { $('wlinfo').textContent = e.message; }
}

$('form').addEventListener('submit', search);
$('cancel').addEventListener('click', () => st.id && api('/api/cancel', { id: st.id }).catch(e => { $('error').textContent = e.message; }));
document.querySelectorAll('[data-key]').forEach(b => b.addEventListener('click', () => sortOn(b.dataset.key)));
showSorted('');
$('unsort').addEventListener('click', () => { st.keys = []; applySort(); });
$('prev').addEventListener('click', () => { st.offset = Math.max(0, st.offset - PAGE); loadPage(0); });
$('next').addEventListener('click', () => { if (st.offset + PAGE < st.total) { st.offset += PAGE; loadPage(0); } });
document.querySelectorAll('nav button').forEach(b => b.addEventListener('click', () => {
  document.querySelectorAll('nav button').forEach(x => x.classList.toggle('on', x === b));
  document.querySelectorAll('section').forEach(s => s.classList.toggle('hidden', s.id !== b.dataset.tab));
  if (b.dataset.tab === 'texts') loadTexts();
}));
$('wlload').addEventListener('click', () => { st.wlOffset = 0; loadWordList(); });
document.querySelectorAll('[data-wl]').forEach(th => th.addEventListener('click', () => {
  const k = th.dataset.wl; st.wlSort = st.wlSort === k ? '-' + k : k; st.wlOffset = 0; loadWordList();
}));
$('wlprev').addEventListener('click', () => { st.wlOffset = Math.max(0, st.wlOffset - PAGE); loadWordList(); });
$('wlnext').addEventListener('click', () => { if (st.wlOffset + PAGE < st.wlTypes) { st.wlOffset += PAGE; loadWordList(); } });
showSort();
)JS";

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) s.replace(at, from.size(), to);
}

}  // namespace

std::string WebViewPage() {
  std::string style = kStyle;
  // The hit, and each of the three words either side of it, in a palette colour of its own.
  const std::pair<const char*, kx8::TColor> colours[] = {
      {"@NODE@", kx8::clRed},     {"@C1@", kx8::clBlue},        {"@C2@", kx8::clGreen},     {"@C3@", kx8::clPurple},
      {"@WINDOW@", kx8::clWhite}, {"@BAR@", kx8::clMoneyGreen}, {"@FACE@", kx8::clSilver}, {"@GRAY@", kx8::clGray},
      {"@ERROR@", kx8::clMaroon}, {"@PLOTBG@", kx8::clCream},   {"@KEY1@", kx8::clSkyBlue}, {"@KEY2@", kx8::clMoneyGreen},
      {"@KEY3@", kx8::clCream}};
  for (const auto& [name, colour] : colours) ReplaceAll(style, name, Css(colour));
  return std::string("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                     "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                     "<title>kx8 concordance</title><style>") +
         style + "</style></head><body>" + kBody + "<script>" + kScript + "</script></body></html>\n";
}

}  // namespace kx8tool
