// A second shop, built from the fixture with names a merchant may type that
// are more than plain ASCII words: France served in a shop language spelt
// "français", group names holding ":", "=", "\" and "¦", and a font name
// holding quotes and "</style>".

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { buildHome, generateShop, projectName, setIniKey } from './fixture.mjs';
import { startStaticServer } from './servers.mjs';
import { chooseCountry, escape, launchBrowser, main, openShop, ordersUrl, waitForMain } from './shop.mjs';

const french = 'fran\u00e7ais';
const groupNames = { tea: 'Tee: gr\u00fcn=gut', sencha: 'Sencha:fein', slash: 'A\\B', extras: 'Zubeh\u00f6r\u00a6Extras=Mehr' };
const font = 'x\'"</style>';

// Files whose names hold "ç" are named in windows-1252 bytes, as the program
// names them.
function writeBytes(file, text) {
  fs.mkdirSync(Buffer.from(path.dirname(file), 'latin1'), { recursive: true });
  fs.writeFileSync(Buffer.from(file, 'latin1'), Buffer.from(text.replace(/\r?\n/g, '\r\n'), 'latin1'));
}

function editText(file, change) {
  fs.writeFileSync(file, Buffer.from(change(fs.readFileSync(file, 'latin1')), 'latin1'));
}

let browser;
let shop;
let page;

before(async () => {
  const work = path.join(process.env.QUILLANE_WORK, 'names');
  fs.rmSync(work, { recursive: true, force: true });
  const { homeDir, shopDir } = buildHome(path.join(work, 'home'), {
    dataDir: process.env.QUILLANE_DATA,
    layoutDir: process.env.QUILLANE_LAYOUT,
    orderService: ordersUrl,
  });
  editText(path.join(homeDir, 'countries.dat'),
    (t) => setIniKey(setIniKey(t, 'France', 'Active', '1'), 'France', 'LanguageSelected', french));
  const english = fs.readFileSync(path.join(homeDir, 'sprache', 'english.lng'), 'latin1');
  writeBytes(path.join(homeDir, 'sprache', french + '.lng'), english.replace(/^welcome=.*$/m, 'welcome=Bienvenue chez'));

  const data = path.join(homeDir, 'Projekte', projectName, 'daten');
  writeBytes(path.join(data, french, 'intro.txt'), 'Bonjour de la boutique\n');
  writeBytes(path.join(data, french, 'T100.txt'), 'Th\u00e9 noir cors\u00e9\n');
  // One name per language section: the French shop takes the German names.
  writeBytes(path.join(data, 'groups.ini'), `[deutsch]\n0=${groupNames.tea}|${groupNames.sencha}\n` +
    `1=${groupNames.tea}|${groupNames.slash}\n2=${groupNames.extras}\n`);
  editText(path.join(data, 'shopprofil.ini'),
    (t) => setIniKey(t, 'Creation', 'Laender', 'Germany,France') + `\r\n[Layout]\r\nFont=${font}\r\n`);

  generateShop(process.env.QUILLANE_CLI, homeDir, path.join(work, 'tmp'));
  shop = await startStaticServer(shopDir);
  browser = await launchBrowser();
  page = await openShop(browser, { url: shop.url });
});

after(async () => {
  await browser?.close();
  await shop?.close();
});

test('group names with ":", "=", "\\" and "¦" stand in the menu as typed', async () => {
  let frame = main(page);
  await frame.getByRole('link', { name: new RegExp('^' + escape(groupNames.extras)) }).waitFor();
  await frame.getByRole('button', { name: groupNames.tea, exact: true }).click();
  frame = await waitForMain(page, 'categories.html');
  await frame.getByRole('link', { name: new RegExp('^' + escape(groupNames.slash)) }).waitFor();
  await frame.getByRole('link', { name: new RegExp('^' + escape(groupNames.sencha)) }).click();
  frame = await waitForMain(page, /\/(view_\w+|description)\.html\?/);
  assert.ok((await frame.locator('main').innerText()).includes('Assam Gold'));
  assert.deepEqual(page.scriptErrors, []);
});

test('a font name with quotes keeps the style sheet\'s colours and the font', async () => {
  const got = await main(page).evaluate(() => ({
    background: getComputedStyle(document.documentElement).getPropertyValue('--d-bc').trim(),
    font: getComputedStyle(document.body).fontFamily,
  }));
  assert.equal(got.background.toLowerCase(), '#f0f0f0');
  assert.ok(got.font.includes('</style>'), got.font);
});

test('a shop language with an accented name has its words, texts and descriptions', async () => {
  await page.evaluate(() => window.GoMain('categories.html'));
  await waitForMain(page, 'categories.html');
  await chooseCountry(page, 'fr');
  assert.equal(await page.evaluate(() => window.Shop.Sprache), french);
  assert.equal(await page.evaluate(() => window.Words.welcome), 'Bienvenue chez');
  const categories = await waitForMain(page, 'categories.html');
  await categories.getByText('Bonjour de la boutique').waitFor();

  await page.evaluate(() => window.suchen('T100'));
  const detail = await waitForMain(page, /description\.html\?.*bnr=T100/);
  await detail.getByText('Th\u00e9 noir cors\u00e9').waitFor();
  assert.deepEqual(page.scriptErrors, []);
});
