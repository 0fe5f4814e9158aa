// A customer finding things: the loader, the country switch, the group
// lists in every view with their page links, the detail page and the search.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { itemFileName } from './fixture.mjs';
import {
  catalog, escape, groupEntry, launchBrowser, listedKeys, main, navigateMain, openGroup, openShop, screenshot, screenshotWhileLoading, shopUrl, testHome,
  shownAmount, waitForMain, words,
} from './shop.mjs';

let browser;

before(async () => {
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
});

const view = { dtl: 0, pro: 1, std: 2 };
const viewPage = { dtl: 'description.html', pro: 'view_pro.html', std: 'view_std.html' };
// An item whose key cannot be a file name as it stands.
const slashed = catalog.groups.flatMap((g) => g.items).find((i) => /[/\\]/.test(i.key));

// Switches the view with the head's select, unless it is shown already.
async function chooseView(page, frame, name) {
  const select = frame.getByLabel(words('deutsch').view, { exact: true });
  if (Number(await select.inputValue()) === view[name]) return frame;
  await select.selectOption(String(view[name]));
  return waitForMain(page, new RegExp('/' + escape(viewPage[name]) + '\\?ipp='));
}

function dbSizes() {
  // The loader's bar is measured against what the database scripts report,
  // group by group, in the order the scripts run.
  const shop = path.join(testHome, 'Projekte', 'Teeladen', 'shop');
  const total = Number(/var dbsize = (\d+);/.exec(fs.readFileSync(path.join(shop, 'var_init.js'), 'latin1'))[1]);
  const running = [];
  for (let k = 0; fs.existsSync(path.join(shop, 'database', `db_${k}.js`)); k++) {
    const script = fs.readFileSync(path.join(shop, 'database', `db_${k}.js`), 'latin1');
    for (const m of script.matchAll(/pl\((\d+)\)/g)) running.push(Number(m[1]));
  }
  return { total, running };
}

test('the loader fills its bar with the database and lands on the categories', async () => {
  const context = await browser.newContext({ viewport: { width: 1000, height: 700 } });
  context.setDefaultTimeout(10000);
  const page = await context.newPage();
  let release;
  const held = new Promise((r) => { release = r; });
  // The categories page waits until the bar has been looked at.
  await page.route('**/categories.html', async (route) => {
    await held;
    await route.continue();
  });
  await page.goto(shopUrl + 'index.html', { waitUntil: 'commit' });
  const loader = await waitForMain(page, /preloader\.html\?database/, { loaded: false });
  const { total, running } = dbSizes();
  assert.equal(running.length, catalog.groups.length, 'every group reports its size');
  assert.equal(running[running.length - 1], total);
  await loader.waitForFunction(() => Number(document.getElementById('bar')?.width) === 300);
  const de = words('deutsch');
  const text = await loader.locator('body').innerText();
  assert.match(text, new RegExp(escape(de.welcome) + '\\s+Teehaus Lindqvist'));
  assert.ok(text.includes(de.loading.toUpperCase()), text);
  assert.ok(text.includes('Frischer Tee und Kaffee'), 'the intro text of the language');
  await screenshotWhileLoading(page, '01-loader');
  release();
  const cats = await waitForMain(page, 'categories.html');
  await cats.getByRole('heading', { name: de.categories }).waitFor();
  for (const g of catalog.groups) await groupEntry(cats, g.paths.deutsch[0]).first().waitFor();
  await screenshot(page, '02-categories');
  await context.close();
});

// The shop page itself loads the home country's settings and words, so the
// loader starts with the database; without the words (they hold the menu as
// well) the loader still asks for them once more and the shop opens.
test('the shop starts without a language step of the loader, and also when the words are missing', async () => {
  for (const missing of [false, true]) {
    const context = await browser.newContext();
    context.setDefaultTimeout(10000);
    const page = await context.newPage();
    page.on('dialog', (d) => d.accept().catch(() => {}));
    const shown = [];
    page.on('framenavigated', (f) => { if (f.name() === 'main') shown.push(f.url().replace(shopUrl, '')); });
    if (missing) await page.route('**/translations.js', (route) => route.abort());
    await page.goto(shopUrl + 'index.html');
    const cats = await waitForMain(page, 'categories.html');
    if (!missing) {
      await groupEntry(cats, catalog.groups[0].paths.deutsch[0]).first().waitFor();
      assert.deepEqual(shown, ['preloader.html?database', 'categories.html']);
    }
    await context.close();
  }
});

test('a group lists its items page by page in all three views', async () => {
  const page = await openShop(browser);
  const de = words('deutsch');
  const group = catalog.groups.reduce((a, b) => (b.items.length > a.items.length ? b : a));
  let frame = await openGroup(page, group, 'deutsch');
  const all = group.items.map((i) => i.key);
  for (const name of ['std', 'pro', 'dtl']) {
    frame = await chooseView(page, frame, name);
    assert.match(frame.url(), new RegExp('/' + escape(viewPage[name]) + '\\?'));
    const ipp = catalog.itemsPerPage[name];
    const pages = Math.ceil(all.length / ipp);
    assert.ok(pages > 1, `the fixture needs more than one page in the ${name} view`);
    const seen = [];
    for (let n = 1; n <= pages; n++) {
      if (n > 1) {
        await frame.getByRole('link', { name: String(n), exact: true }).click();
        frame = await waitForMain(page, new RegExp('page=' + n + '(&|$)'));
      }
      const keys = await listedKeys(frame);
      assert.deepEqual(keys, all.slice((n - 1) * ipp, n * ipp), `${name} view, page ${n}`);
      seen.push(...keys);
      assert.ok((await frame.locator('body').innerText()).includes(`${de.page} ${n} ${de.of} ${pages}`), `${name} page ${n}`);
      if (n === 1) await screenshot(page, `03-list-${name}`);
    }
    assert.deepEqual(seen, all);
    // Back to the first page for the next view.
    await frame.getByRole('link', { name: '1', exact: true }).click();
    frame = await waitForMain(page, /page=1(&|$)/);
  }
  assert.deepEqual(page.scriptErrors, []);
  await page.context().close();
});

test('the detail page shows the description and every picture, also for a key with "/"', async () => {
  assert.ok(slashed, 'the fixture has an item with "/" in its key');
  for (const key of ['T100', slashed.key]) {
    const page = await openShop(browser);
    const item = catalog.item(key);
    const file = itemFileName(key);
    let frame = await openGroup(page, catalog.groups[item.group], 'deutsch');
    await frame.getByRole('link', { name: item.name, exact: true }).click();
    frame = await waitForMain(page, new RegExp('description\\.html\\?.*bnr=' + escape(encodeURIComponent(key)) + '(&|$)'));
    await frame.getByRole('heading', { name: item.name }).waitFor();
    const text = await frame.locator('main').innerText();
    assert.ok(text.includes(item.descr), `${key}: short description`);
    assert.ok(catalog.description('deutsch', key), `${key} has a description in the fixture`);
    for (const line of catalog.description('deutsch', key)) assert.ok(text.includes(line), `${key}: ${line}`);
    // Every picture of the item is offered and loads.
    const pics = await frame.$$eval('img', (imgs, re) => imgs
      .filter((i) => new RegExp(re).test(i.src))
      .map((i) => ({ src: i.src.replace(/.*\//, ''), ok: i.complete && i.naturalWidth > 0 })), '/pictures/large/' + escape(file) + '_\\d+\\.jpg$');
    const names = [...new Set(pics.map((p) => p.src))].sort();
    assert.deepEqual(names, Array.from({ length: catalog.pictureCount(key) }, (_, i) => `${file}_${i + 1}.jpg`));
    assert.ok(pics.every((p) => p.ok), JSON.stringify(pics));
    await screenshot(page, '04-detail-' + file);
    assert.deepEqual(page.scriptErrors, []);
    await page.context().close();
  }
});

test('a list page loads the descriptions one after another, past a key with "/" and past a missing one', async () => {
  const page = await openShop(browser);
  const group = catalog.groups[catalog.item(slashed.key).group];
  const at = group.items.findIndex((i) => i.key === slashed.key);
  const next = group.items[at + 1];
  const ipp = catalog.itemsPerPage.dtl;
  assert.ok(next && (at + 1) % ipp !== 0 && catalog.description('deutsch', next.key), 'the fixture shows a described item after it on its page');
  let frame = await chooseView(page, await openGroup(page, group, 'deutsch'), 'dtl');
  const n = Math.floor(at / ipp) + 1;
  if (n > 1) {
    await frame.getByRole('link', { name: String(n), exact: true }).click();
    frame = await waitForMain(page, new RegExp('page=' + n + '(&|$)'));
  }
  const texts = (f) => f.$$eval('article', (as) => Object.fromEntries(as.map((a) =>
    [a.querySelector('input[name="BNr0"]').value, a.querySelector('.longtext')?.innerText ?? ''])));
  const shows = (shown, key) => catalog.description('deutsch', key).every((line) => shown[key]?.includes(line));
  let shown = await texts(frame);
  assert.ok(shows(shown, slashed.key) && shows(shown, next.key), JSON.stringify(shown));
  await screenshot(page, '04-list-descriptions');

  // Without its script the item goes without its text; the next one keeps its own.
  await page.route(`**/descriptions/${itemFileName(slashed.key)}.js`, (route) => route.fulfill({ status: 404, body: '' }));
  await page.evaluate(() => { window.text = {}; });
  frame = await navigateMain(page, () => main(page).evaluate(() => location.reload()));
  shown = await texts(frame);
  assert.equal(shown[slashed.key], '');
  assert.ok(shows(shown, next.key), JSON.stringify(shown));
  assert.deepEqual(page.scriptErrors, []);
  await page.context().close();
});

test('switching the country changes words, currency and the description language', async () => {
  const page = await openShop(browser);
  const home = catalog.country(catalog.home);
  const abroad = catalog.countries.find((c) => c.language !== home.language && !c.eu);
  const from = words(home.language);
  const to = words(abroad.language);
  const item = catalog.item('T100');
  let frame = await openGroup(page, catalog.groups[item.group], home.language);
  await frame.getByRole('link', { name: item.name, exact: true }).click();
  frame = await waitForMain(page, /description\.html\?.*bnr=T100/);
  // The price in the customer's format: "4,50 €" at home, "£3.92" abroad.
  const plain = (t) => t.replace(/\u00a0/g, ' ');
  const price = (c, sign) => plain(shownAmount(Math.round(item.price * c.euroRate * 100 + 1e-7), sign, c));
  const atHome = plain(await frame.locator('main').innerText());
  assert.ok(atHome.includes(price({ ...home, euroRate: 1 }, '')), `price at home: ${atHome}`);

  await frame.getByLabel(from.selectcountry, { exact: true }).selectOption(abroad.code);
  // The loader runs and brings the customer back to the same item.
  await page.waitForFunction((code) => window.Shop.Land === code, abroad.code);
  frame = await waitForMain(page, /description\.html\?.*bnr=T100/);
  await frame.getByLabel(to.selectcountry, { exact: true }).waitFor();
  const text = plain(await frame.locator('main').innerText());
  assert.ok(text.includes(price(abroad, abroad.currency)), `price in ${abroad.currency}: ${text}`);
  for (const line of catalog.description(abroad.language, 'T100')) assert.ok(text.includes(line), line);
  const head = await frame.locator('header').innerText();
  assert.ok(head.includes(to.cart) && !head.includes(from.cart), head);
  assert.ok(head.includes(to.cartempty), head);
  await frame.getByRole('link', { name: to.categories, exact: true }).first().click();
  frame = await waitForMain(page, 'categories.html');
  for (const g of catalog.groups) await groupEntry(frame, g.paths[abroad.language][0]).first().waitFor();
  await screenshot(page, '05-categories-abroad');
  assert.deepEqual(page.scriptErrors, []);
  await page.context().close();
});

test('the search finds items by name, short description and key', async () => {
  const page = await openShop(browser);
  const de = words('deutsch');
  const everything = catalog.groups.flatMap((g) => g.items);
  // Expected hits by the rule: every word in name, short description or key.
  const hits = (q) => everything
    .filter((i) => q.toLowerCase().split(' ').every((w) => `${i.name}|${i.descr}|${i.key}`.toLowerCase().includes(w)))
    .map((i) => i.key);
  const cases = [
    ['Sencha', 'name'],
    ['bergamotte', 'short description'],
    ['z301', 'key'],
    ['tee', 'several'],
    ['glas teekanne', 'two words'],
    [catalog.hidden[0].name.split(' ')[0], 'hidden item'],
  ];
  for (const [query, what] of cases) {
    const expected = hits(query);
    const frame = main(page);
    await frame.getByRole('searchbox').fill(query);
    await frame.getByRole('searchbox').press('Enter');
    if (expected.length === 0) {
      const box = await waitForMain(page, /textbox\.html\?Content=search/);
      assert.ok((await box.locator('main').innerText()).includes(de.nohits), what);
    } else if (expected.length === 1) {
      // One hit goes straight to its detail page.
      const detail = await waitForMain(page, new RegExp('description\\.html\\?grp=\\d+&bnr=' + expected[0] + '(&|$)'));
      assert.deepEqual(await listedKeys(detail), expected, what);
    } else {
      const list = await waitForMain(page, /\/(view_\w+|description)\.html\?ipp=/);
      assert.deepEqual(await listedKeys(list), expected.slice(0, catalog.itemsPerPage.std), what);
      if (what === 'several') await screenshot(page, '06-search');
    }
  }
  assert.deepEqual(hits('tee').length > 1 && hits('Sencha').length === 1, true, 'the fixture shows one and many hits');
  assert.deepEqual(page.scriptErrors, []);
  await page.context().close();
});
