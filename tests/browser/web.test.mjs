// The shop as the web treats it: reloads and discarded tabs, links that name
// a group or an item, the Back button, pages opened on their own, and no
// request for a file the shop does not have.

import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import {
  addFromList, catalog, launchBrowser, listedKeys, main, navigateMain, openGroup, openShop, screenshot, shopUrl, waitForMain,
  words,
} from './shop.mjs';

let browser;

before(async () => {
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
});

const de = 'deutsch';
// Two groups with items, and an item of the second.
const [groupA, groupB] = catalog.groups.filter((g) => g.paths[de] && g.items.length);
const itemB = groupB.items[0];

// The cart as the shop window holds it: item key to quantity.
function cartOf(page) {
  return page.evaluate(() => {
    const out = {};
    for (const table of Shop.Item) for (const k in table || {}) if (table[k].Menge > 0) out[k] = table[k].Menge;
    return out;
  });
}

function hashOf(page) {
  return page.evaluate(() => decodeURIComponent(location.hash));
}

async function openAt(context, address, pattern) {
  const page = await context.newPage();
  page.on('dialog', (d) => d.accept().catch(() => {}));
  await page.goto(shopUrl + address);
  return { page, frame: await waitForMain(page, pattern) };
}

test('the basket survives a reload of the tab and stays in it', async () => {
  const page = await openShop(browser);
  await addFromList(page, groupA.items[0].key, 2, de);
  await addFromList(page, itemB.key, 1, de);
  const before = await cartOf(page);
  assert.deepEqual(before, { [groupA.items[0].key]: 2, [itemB.key]: 1 });

  // The whole tab reloads, as when a phone brings back a discarded tab.
  await page.reload();
  await waitForMain(page, /\/(categories|view_\w+|description)\.html/);
  await page.waitForFunction(() => Shop.ItemKeys.length > 0 && window.frames.main.document.readyState === 'complete');
  assert.deepEqual(await cartOf(page), before);
  const mini = await main(page).locator('output[name="minikorb"]').textContent();
  assert.match(mini, /^3 /);

  // Another tab of the same browser is another customer's visit.
  const other = await page.context().newPage();
  other.on('dialog', (d) => d.accept().catch(() => {}));
  await other.goto(shopUrl + 'index.html');
  await waitForMain(other, 'categories.html');
  assert.deepEqual(await cartOf(other), {});
  // Nothing of it outlives the tab.
  assert.equal(await other.evaluate(() => localStorage.length), 0);

  // A sent order empties the kept basket too.
  await page.evaluate(() => {
    for (const table of Shop.Item) for (const k in table || {}) table[k].Menge = 0;
    SaveCart();
  });
  await page.reload();
  await waitForMain(page, /\/(categories|view_\w+|description)\.html/);
  assert.deepEqual(await cartOf(page), {});
  await page.context().close();
});

test('a link names a group or an item; the address follows and Back leaves no dead end', async () => {
  const context = await browser.newContext({ viewport: { width: 1100, height: 800 } });
  context.setDefaultTimeout(10000);

  // An item link opens the item once the shop has loaded.
  const { page, frame } = await openAt(context, `index.html#item=${encodeURIComponent(itemB.key)}`, 'description.html');
  await frame.getByRole('heading', { level: 1, name: itemB.name }).waitFor();
  assert.equal(await hashOf(page), `#item=${itemB.key}`);
  // On to the shop's start, and Back to the item.
  await navigateMain(page, () => frame.getByRole('link', { name: words(de).categories, exact: true }).first().click(), /categories\.html/);
  assert.equal(await hashOf(page), '');
  const back = await navigateMain(page, () => page.goBack(), /description\.html/);
  await back.getByRole('heading', { level: 1, name: itemB.name }).waitFor();
  assert.equal(await hashOf(page), `#item=${itemB.key}`);
  await navigateMain(page, () => back.getByRole('link', { name: words(de).categories, exact: true }).first().click(), /categories\.html/);

  // The customer's way: group A, one of its items, the search; the address
  // names each, and Back brings back each list as it was.
  let list = await openGroup(page, groupA, de);
  assert.equal(await hashOf(page), `#group=${groupA.index}`);
  const keysA = await listedKeys(list);
  const term = itemB.name;
  await list.getByRole('searchbox').fill(term);
  list = await navigateMain(page, () => list.getByRole('searchbox').press('Enter'), /(view_\w+|description)\.html/);
  assert.match(await hashOf(page), new RegExp('^#(search=' + term + '|item=' + itemB.key + ')'));
  list = await navigateMain(page, () => page.goBack(), /view_\w+\.html/);
  assert.deepEqual(await listedKeys(list), keysA);
  assert.equal(await hashOf(page), `#group=${groupA.index}`);
  await screenshot(page, 'web-back-to-group');

  // The address of a list is a link to it: a new tab lands on the same items.
  const again = await openAt(context, `index.html#group=${groupB.index}`, /view_\w+\.html/);
  assert.deepEqual(await listedKeys(again.frame), groupB.items.slice(0, (await listedKeys(again.frame)).length).map((i) => i.key));
  await again.frame.getByRole('heading', { level: 1 }).filter({ hasText: groupB.paths[de].at(-1) }).waitFor();

  // A link to nothing the shop knows leaves the customer at its start.
  const unknown = await openAt(context, 'index.html#item=NO-SUCH-ITEM', 'categories.html');
  assert.equal(await hashOf(unknown.page), '');
  await context.close();
});

test('the detail page opened on its own leads to its item in the shop', async () => {
  const context = await browser.newContext({ viewport: { width: 375, height: 740 } });
  context.setDefaultTimeout(10000);
  const { page, frame } = await openAt(context,
    `description.html?grp=${groupB.index}&bnr=${encodeURIComponent(itemB.key)}`, 'description.html');
  assert.match(page.url(), /\/index\.html#/);
  await frame.getByRole('heading', { level: 1, name: itemB.name }).waitFor();
  await screenshot(page, 'web-detail-alone-375');
  await context.close();
});

test('the shop asks for no file it does not have, and says its language', async () => {
  const context = await browser.newContext({ viewport: { width: 1366, height: 800 } });
  context.setDefaultTimeout(10000);
  const page = await context.newPage();
  page.on('dialog', (d) => d.accept().catch(() => {}));
  const missing = [];
  page.on('response', (r) => { if (r.status() >= 400) missing.push(`${r.status()} ${r.url()}`); });
  await page.goto(shopUrl + 'index.html');
  await waitForMain(page, 'categories.html');
  assert.equal(await page.evaluate(() => document.documentElement.lang), 'de');
  const list = await openGroup(page, groupB, de);
  await navigateMain(page, () => list.getByRole('link', { name: itemB.name }).first().click(), /description\.html/);
  await navigateMain(page, () => main(page).getByRole('link', { name: words(de).cart, exact: true }).first().click(), /cart\.html/);
  await navigateMain(page, () => main(page).getByRole('link', { name: words(de).contact, exact: true }).first().click(), /contact\.html/);
  await screenshot(page, 'web-contact-1366');
  assert.deepEqual(missing, []);
  await context.close();
});

test('a screen with two pixels a point gets the double pictures, and a tap on the large one enlarges it', async () => {
  const context = await browser.newContext({ viewport: { width: 375, height: 740 }, deviceScaleFactor: 2 });
  context.setDefaultTimeout(10000);
  const missing = [];
  context.on('response', (r) => { if (r.status() >= 400) missing.push(`${r.status()} ${r.url()}`); });
  const key = 'T100';   // two pictures in the fixture
  const group = catalog.groups.find((g) => g.items.some((i) => i.key === key));
  const { page } = await openAt(context, `index.html#group=${group.index}`, /view_\w+\.html/);
  const list = await waitForMain(page, /view_\w+\.html/);
  const thumb = list.locator('img.thumb').first();
  await thumb.evaluate((img) => img.decode());
  assert.match(await thumb.evaluate((img) => img.currentSrc), /\/pictures\/(medium|small)_2x\//);

  const name = catalog.item(key).name;
  const detail = await navigateMain(page, () => list.getByRole('link', { name, exact: true }).first().click(), /description\.html/);
  const large = detail.locator('img.large');
  await large.evaluate((img) => img.decode());
  assert.match(await large.evaluate((img) => img.currentSrc), /\/pictures\/large_2x\/T100_1\.jpg$/);
  // The second picture: the large one and its enlargement follow.
  await detail.getByRole('button', { name: new RegExp(words(de).picture + ' 2') }).click();
  await page.waitForFunction(() => /large_2x\/T100_2\.jpg$/.test(window.frames.main.document.querySelector('img.large').currentSrc));
  const [popup] = await Promise.all([context.waitForEvent('page'), large.click()]);
  await popup.waitForLoadState();
  assert.match(popup.url(), /\/pictures\/(xxl|large_2x)\/T100_2\.jpg$/);
  await screenshot(page, 'web-detail-2x-375');
  assert.deepEqual(missing, []);
  await context.close();
});
