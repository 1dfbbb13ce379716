// kx8 serve's page in a real browser (Debian's chromium, driven by Playwright): a search, a sort on R1,
// the palette colours of the hit and its neighbours, an Arabic line laid out right-to-left, one plot
// stroke per hit, the word list, and a screenshot for a person to look at.
// Usage: node web_view_browser_test.cjs KX8 SCREENSHOT.png   (make test-web runs it)
'use strict';
const { chromium } = require('playwright');
const { spawn } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const assert = require('assert/strict');

const [kx8, screenshot] = process.argv.slice(2);
if (!kx8 || !screenshot) {
  console.error('usage: node web_view_browser_test.cjs KX8 SCREENSHOT.png');
  process.exit(2);
}

const corpus = fs.mkdtempSync(path.join(os.tmpdir(), 'kx8-web-'));
const english = [
  'The bank zeta stood by the river. A bank alpha lent money to the town.',
  'Her bank Mike was closed on Sunday. This bank beta opened a new branch near the old bank.',
  'Every bank has a vault; the river bank has none.',
].join('\n');
// "He went to the bank in the morning" and "the bank is closed today", in Arabic.
const arabic = 'ذهب الرجل إلى البنك في الصباح\nالبنك مغلق اليوم\n';
fs.writeFileSync(path.join(corpus, 'english.txt'), english + '\n');
fs.writeFileSync(path.join(corpus, 'arabic.txt'), arabic);

function startServer() {
  return new Promise((resolve, reject) => {
    const child = spawn(kx8, ['serve', '--port', '0', corpus], { stdio: ['ignore', 'pipe', 'inherit'] });
    let out = '';
    child.stdout.on('data', d => {
      out += d;
      const m = out.match(/http:\/\/127\.0\.0\.1:(\d+)\//);
      if (m) resolve({ child, url: m[0] });
    });
    child.on('exit', code => reject(new Error('kx8 serve exited with ' + code + ': ' + out)));
  });
}

async function main() {
  const { child, url } = await startServer();
  const browser = await chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', args: ['--no-sandbox'] });
  const failures = [];
  const check = (what, fn) => { try { fn(); console.log('ok   ' + what); } catch (e) { failures.push(what); console.log('FAIL ' + what + ': ' + e.message); } };
  try {
    const page = await browser.newPage({ viewport: { width: 1280, height: 720 } });
    const requests = [];
    page.on('request', r => requests.push(r.url()));
    await page.goto(url);

    // A search for both words at once: the English "bank" and the Arabic "البنك".
    await page.fill('#word', 'bank/البنك');
    await page.click('#go');
    await page.waitForFunction(() => /done/.test(document.getElementById('status').textContent));
    const lines = page.locator('#kwic .row.line');
    const count = await lines.count();
    check('every hit is a line', () => assert.equal(count, 9));  // seven English, two Arabic

    // Colours from the palette: the hit clRed, L1/R1 clBlue, L2/R2 clGreen, L3/R3 clPurple.
    const colours = await page.evaluate(() => {
      const row = document.querySelector('#kwic .row.line');
      const c = sel => getComputedStyle(row.querySelector(sel)).color;
      return { node: c('.node'), c1: c('.right .c1'), c2: c('.right .c2'), c3: c('.right .c3'), l1: c('.left .c1') };
    });
    check('hit and neighbours in palette colours', () => assert.deepEqual(colours, {
      node: 'rgb(255, 0, 0)', c1: 'rgb(0, 0, 255)', c2: 'rgb(0, 128, 0)', c3: 'rgb(128, 0, 128)', l1: 'rgb(0, 0, 255)',
    }));

    // The node is centred and the left context ends against it.
    const geometry = await page.evaluate(() => [...document.querySelectorAll('#kwic .row.line')].map(row => {
      const k = row.querySelector('.kwic').getBoundingClientRect(), n = row.querySelector('.node').getBoundingClientRect();
      const left = row.querySelector('.left'), inner = left.firstElementChild.getBoundingClientRect();
      return { dir: row.querySelector('.kwic').dir, centre: (n.left + n.right) / 2 - (k.left + k.right) / 2,
               leftGap: left.getBoundingClientRect().right - inner.right, nodeLeft: n.left, contextLeft: inner.left,
               text: row.querySelector('.node').textContent };
    }));
    check('nodes centred', () => geometry.forEach(g => assert.ok(Math.abs(g.centre) < 3, JSON.stringify(g))));
    const ltr = geometry.filter(g => g.dir === 'ltr'), rtl = geometry.filter(g => g.dir === 'rtl');
    check('English lines left-to-right, left context right-aligned', () => {
      assert.equal(ltr.length, 7);
      ltr.forEach(g => assert.ok(Math.abs(g.leftGap) < 1 && g.contextLeft < g.nodeLeft, JSON.stringify(g)));
    });
    check('Arabic lines right-to-left, the text before the hit on its right', () => {
      assert.equal(rtl.length, 2);
      rtl.forEach(g => assert.ok(g.text === 'البنك' && g.contextLeft > g.nodeLeft, JSON.stringify(g)));
    });
    const direction = await page.evaluate(() => [...document.querySelectorAll('#kwic .kwic')].map(k => getComputedStyle(k).direction));
    check('computed direction follows the line', () => assert.equal(direction.filter(d => d === 'rtl').length, 2));

    // Sort on R1: the first words right of the hit in collation order, case ignored.
    await page.click('.keys button[data-key="R1"]');
    await page.waitForFunction(() => /sorted on R1/.test(document.getElementById('sortshown').textContent));
    const r1 = await page.evaluate(() => [...document.querySelectorAll('#kwic .row.line')].map(r => (r.querySelector('.right .c1') || {}).textContent || ''));
    const collator = new Intl.Collator('en', { sensitivity: 'base' });
    const english1 = r1.filter(w => /^[a-z]*$/i.test(w));
    check('sorted on R1', () => assert.deepEqual(english1, [...english1].sort(collator.compare)));
    check('R1 words are the expected ones', () => assert.ok(['alpha', 'beta', 'has', 'Mike', 'zeta'].every(w => r1.includes(w)), r1.join(',')));
    await page.screenshot({ path: screenshot, fullPage: true });

    // Dispersion plots: one stroke per hit in each text.
    await page.click('nav button[data-tab="texts"]');
    await page.waitForSelector('#textrows tr.text');
    const plots = await page.evaluate(() => [...document.querySelectorAll('#textrows tr.text')].map(tr => ({
      hits: Number(tr.children[1].textContent), strokes: tr.querySelectorAll('svg.plot line.hit').length,
      xs: [...tr.querySelectorAll('svg.plot line.hit')].map(l => Number(l.getAttribute('x1'))),
    })));
    check('one plot stroke per hit', () => {
      assert.equal(plots.length, 2);
      assert.deepEqual(plots.map(p => p.strokes).sort(), [2, 7]);
      plots.forEach(p => assert.equal(p.strokes, p.hits));
      plots.forEach(p => assert.deepEqual(p.xs, [...p.xs].sort((a, b) => a - b)));
    });
    await page.screenshot({ path: screenshot.replace(/\.png$/, '-texts.png') });

    // The word list, sorted by word on a click.
    await page.click('nav button[data-tab="wordlist"]');
    await page.click('#wlload');
    await page.waitForSelector('#wlrows tr');
    const first = await page.locator('#wlrows tr td:nth-child(2)').first().textContent();
    check('word list by frequency', () => assert.equal(first, 'bank'));
    await page.click('th[data-wl="word"]');
    await page.waitForFunction(() => document.querySelector('#wlrows tr td:nth-child(2)').textContent.toLowerCase() === 'a');
    const words = await page.evaluate(() => [...document.querySelectorAll('#wlrows tr td:nth-child(2)')].map(td => td.textContent));
    const latin = words.filter(w => /^[a-z]+$/i.test(w));
    check('word list sorted by word', () => assert.deepEqual(latin, [...latin].sort(new Intl.Collator('en', { sensitivity: 'base' }).compare)));
    await page.screenshot({ path: screenshot.replace(/\.png$/, '-wordlist.png') });

    // A search word that cannot be searched for shows why beside the box.
    await page.click('nav button[data-tab="lines"]');
    await page.fill('#word', '*');
    await page.click('#go');
    await page.waitForFunction(() => document.getElementById('error').textContent.length > 0);
    const shown = await page.textContent('#error');
    check('error says why', () => assert.match(shown, /nothing to search for/));

    check('nothing fetched but the server', () => requests.forEach(u => assert.ok(u.startsWith(url), u)));
  } finally {
    await browser.close();
    child.kill('SIGTERM');
    fs.rmSync(corpus, { recursive: true, force: true });
  }
  if (failures.length) {
    console.error(failures.length + ' check(s) failed');
    process.exit(1);
  }
  console.log('all checks passed; screenshot: ' + screenshot);
}

main().catch(e => { console.error(e); process.exit(1); });
