// VAT by destination and payment in advance that can be paid: a German shop
// that charges the delivery country's VAT sends to the real quillane-orderd,
// the thank-you page names the account and the order's reference, and the
// invoice of the fetched order shows the rate the customer was charged.

import assert from 'node:assert/strict';
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { buildHome, generateShop, iniValue, parseIni, projectName, setIniKey } from './fixture.mjs';
import { startStaticServer } from './servers.mjs';
import {
  catalog, chooseCountry, formFields, launchBrowser, main, navigateMain, openShop, screenshot, shopUrl, waitForMain, words,
} from './shop.mjs';

const cli = process.env.QUILLANE_CLI;
const orderd = process.env.QUILLANE_ORDERD;
const work = path.join(process.env.QUILLANE_WORK, 'vat');
const account = { name: 'teevat', password: 'Kanne7+Steuer' };
const iban = 'DE89370400440532013000';
const bic = 'COBADEFFXXX';

let service;
let shop;
let browser;
let homeDir;

function run(program, args, input) {
  const r = spawnSync(program, args, { encoding: 'utf8', input, env: { ...process.env, QUILLANE_HOME: '' } });
  if (r.error) throw new Error(`${path.basename(program)} ${args.join(' ')}: ${r.error.message}`);
  return r;
}

function cliOk(...args) {
  const r = run(cli, ['--home', homeDir, ...args]);
  assert.equal(r.status, 0, `quillane-cli ${args.join(' ')} failed:\n${r.stdout}${r.stderr}`);
  return r.stdout;
}

function startService(dataDir) {
  const child = spawn(orderd, ['serve', '--listen', '127.0.0.1:0', '--data', dataDir, '--allow-private-shops'], { stdio: ['ignore', 'pipe', 'pipe'] });
  let output = '';
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`quillane-orderd did not start:\n${output}`)), 15000);
    const look = (chunk) => {
      output += chunk;
      const m = /listening on (http:\/\/\S+\/)/.exec(output);
      if (m) {
        clearTimeout(timer);
        resolve({ url: m[1], child, output: () => output });
      }
    };
    child.stdout.on('data', look);
    child.stderr.on('data', (c) => { output += c; });
    child.on('exit', (code, signal) => {
      clearTimeout(timer);
      reject(new Error(`quillane-orderd ended (${code ?? signal}):\n${output}`));
    });
  });
}

function stopService(s) {
  if (!s || s.child.exitCode !== null) return Promise.resolve();
  return new Promise((resolve) => {
    s.child.on('exit', resolve);
    s.child.kill('SIGTERM');
  });
}

function editFile(file, change) {
  fs.writeFileSync(file, Buffer.from(change(fs.readFileSync(file, 'latin1')), 'latin1'));
}

before(async () => {
  assert.ok(cli && fs.existsSync(cli) && orderd && fs.existsSync(orderd), 'start the tests with run.mjs');
  fs.rmSync(work, { recursive: true, force: true });
  const serviceData = path.join(work, 'orderd');
  fs.mkdirSync(serviceData, { recursive: true });
  service = await startService(serviceData);

  const built = buildHome(path.join(work, 'home'), {
    dataDir: process.env.QUILLANE_DATA, layoutDir: process.env.QUILLANE_LAYOUT, orderService: service.url,
  });
  homeDir = built.homeDir;
  editFile(path.join(homeDir, 'quillane.ini'), (t) =>
    setIniKey(setIniKey(t, 'Account', 'UserID', account.name), 'Account', 'Password', account.password));
  editFile(path.join(homeDir, 'countries.dat'), (t) => setIniKey(setIniKey(t, 'France', 'Active', '1'), 'Switzerland', 'Active', '1'));
  editFile(path.join(homeDir, 'Projekte', projectName, 'daten', 'shopprofil.ini'), (t) => {
    t = setIniKey(t, 'Creation', 'Laender', 'Germany,United Kingdom,France,Switzerland');
    for (const [k, v] of [['UStLieferland', '1'], ['bank', 'Teebank Kiel'], ['iban', iban], ['bic', bic]]) t = setIniKey(t, 'Invoice', k, v);
    return t + '\r\n[France]\r\nvk=1\r\nShipping=9.000\r\n[Switzerland]\r\nvk=1\r\nShipping=15.000\r\n';
  });
  generateShop(cli, homeDir, path.join(work, 'tmp'));
  shop = await startStaticServer(built.shopDir);
  // With the shop's address the service works every order out again from
  // what the shop published.
  const added = run(orderd, ['account', 'add', account.name, '--password-stdin', '--shop', shop.url, '--data', serviceData],
    account.password + '\n');
  assert.equal(added.status, 0, `${added.stdout}${added.stderr}`);
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
  await shop?.close();
  await stopService(service);
});

// T101 and K201 as the fixture has them, two and one.
const lines = [{ key: 'T101', qty: 2 }, { key: 'K201', qty: 1 }];

async function fillCart(page, url) {
  await page.evaluate((ls) => {
    for (const l of ls) for (const t of window.Shop.Item) if (t && t[l.key]) t[l.key].Menge = l.qty;
  }, lines);
  const frame = await navigateMain(page, () => page.evaluate(() => { window.frames['main'].location.href = 'cart.html'; }), /cart\.html/);
  const c = await page.evaluate(() => ({ total: window.Shop.Cart.Total, vat: window.Shop.Cart.VAT, rate: window.Shop.Cart.Figures.vatRate }));
  return { frame, ...c, note: await frame.locator('.vatnote').innerText(), url };
}

const euros = (v) => (Math.round(v * 100 + 1e-7) / 100).toFixed(2);

// "1.234,56 €", "€1,234.56", "1234.56": every amount has two decimals.
function cents(text) {
  const m = /\d[\d.,]*\d\d/.exec(text ?? '');
  if (!m) return `(no amount in "${text}")`;
  const digits = m[0].replace(/\D/g, '');
  return `${Number(digits.slice(0, -2))}.${digits.slice(-2)}`;
}

test('VAT by destination: the delivery country\'s rate in the EU, none outside, shown before checkout', async () => {
  const cases = [
    { code: 'de', rate: '19.00', note: /19 % \(Deutschland\)/ },
    { code: 'fr', rate: '20.00', note: /20 % \(France\)/ },
    { code: 'ch', rate: '0.00', note: /steuerfrei|tax-free/ },
  ];
  for (const c of cases) {
    const page = await openShop(browser, { url: shop.url });
    await chooseCountry(page, c.code);
    const cart = await fillCart(page);
    assert.equal(cart.rate, c.rate, `${c.code}: the rate charged`);
    assert.equal(euros(cart.vat), euros(cart.total * Number(c.rate) / 100), `${c.code}: the VAT on ${cart.total}`);
    assert.match(cart.note, c.note, `${c.code}: the note before checkout`);
    await screenshot(page, `30-vat-cart-${c.code}`);
    assert.deepEqual(page.scriptErrors, []);
    await page.context().close();
  }
});

test('without the choice every customer pays the home rate, as before', async () => {
  const home = catalog.country(catalog.home);
  for (const code of ['de', 'gb']) {
    const page = await openShop(browser, { url: shopUrl });
    await chooseCountry(page, code);
    const cart = await fillCart(page);
    assert.equal(cart.rate, euros(home.vatPercent), code);
    assert.equal(euros(cart.vat), euros(cart.total * home.vatPercent / 100), code);
    assert.doesNotMatch(cart.note, /%|\(/, `${code}: the note names no rate`);
    await page.context().close();
  }
});

const customers = [
  { code: 'fr', firstname: 'Amélie', lastname: 'Dupont', street: '3 rue du Thé', zip: '75001', city: 'Paris', rate: '20.00' },
  { code: 'ch', firstname: 'Urs', lastname: 'Kälin', street: 'Seeweg 4', zip: '8001', city: 'Zürich', rate: '0.00' },
  { code: 'de', firstname: 'Jörg', lastname: 'Müller', street: 'Am Deich 7', zip: '24103', city: 'Kiel', rate: '19.00', noId: true },
];

async function placeOrder(c) {
  const page = await openShop(browser, { url: shop.url });
  if (c.noId) {
    // A service that answers 2xx without naming the order.
    await page.route('**/putorder.php4', (route) =>
      route.fulfill({ status: 200, headers: { 'Access-Control-Allow-Origin': '*' }, body: 'thanks' }));
  }
  await chooseCountry(page, c.code);
  const cart = await fillCart(page);
  // A language without its own file (French here) shows the English words.
  const language = await page.evaluate(() => window.Shop.Sprache);
  const w = words(fs.existsSync(path.join(process.env.QUILLANE_TEST_HOME, 'sprache', language + '.lng')) ? language : 'english');
  let frame = await navigateMain(page, () => cart.frame.locator('form[name="cart"] button[type="submit"]').click(), /order_address\.html/);
  const form = frame.locator('form[name="orderform"]');
  for (const k of ['firstname', 'lastname', 'street', 'zip', 'city']) await form.locator(`[name="${k}"]`).fill(c[k]);
  await form.locator('[name="email"]').fill('kunde@example.org');
  await form.locator('input[name="payment"][value="vk"]').check();
  frame = await navigateMain(page, () => form.locator('button[type="submit"]').last().click(), /order_verification\.html/);
  const seenVat = (await formFields(frame, 'cart', ['vat'])).vat;
  const send = frame.locator('form[name="orderform"]');
  await send.locator('[name="privacy"]').check();
  await send.getByRole('button', { name: w.sendorder }).click();
  const thanks = await waitForMain(page, /\/queue\.html/);
  await screenshot(page, `31-vat-thanks-${c.code}`);
  const shown = {
    iban: await thanks.locator('#iban').innerText(),
    bic: await thanks.locator('#bic').innerText(),
    reference: await thanks.locator('#reference').innerText(),
  };
  assert.deepEqual(page.scriptErrors, []);
  await page.context().close();
  return { ...c, seenVat, shown };
}

test('orders carry the rate to the order service, and the invoice shows it; the thank-you page names account and reference', async () => {
  const placed = [];
  for (const c of customers) placed.push(await placeOrder(c));

  for (const p of placed) {
    assert.equal(p.shown.iban, 'DE89 3704 0044 0532 0130 00', `${p.code}: IBAN on the thank-you page`);
    assert.equal(p.shown.bic, bic, `${p.code}: BIC on the thank-you page`);
  }
  const [fr, ch, de] = placed;
  const ids = [fr, ch].map((p) => p.shown.reference);
  for (const id of ids) assert.match(id, /^\d{8}-\d{6}-\d{4}$/, 'the order ID the service answered');
  // Without an ID: the date and time of sending and the name as banks take it.
  const d = new Date();
  const today = `${d.getFullYear()}${String(d.getMonth() + 1).padStart(2, '0')}${String(d.getDate()).padStart(2, '0')}`;
  assert.match(de.shown.reference, new RegExp(`^${today}-\\d{4} Mueller$`));

  assert.match(cliOk('orders', 'fetch'), /received 2 orders, 2 new/);
  // Both were worked out again from the published shop, none taken unchecked.
  assert.doesNotMatch(service.output(), /order for .* taken with/, 'the service log');
  const ordersDat = parseIni(fs.readFileSync(path.join(homeDir, 'orders.dat'), 'latin1'));
  for (const [p, id] of [[fr, ids[0]], [ch, ids[1]]]) {
    assert.equal(iniValue(ordersDat, id, 'lastname'), p.lastname.replace('ä', '\xe4'), `${id} is the order of ${p.lastname}`);
    assert.equal(iniValue(ordersDat, id, 'vatrate'), p.rate, `${p.code}: the rate stored and fetched`);
    const out = path.join(work, `invoice-${p.code}.html`);
    cliOk('invoice', id, '--project', projectName, '--out', out);
    const html = fs.readFileSync(out, 'latin1');
    // The rate as the invoice's language writes it: "5,5 %" in German, "5.5%" in English.
    const [whole, part] = String(Number(p.rate)).split('.');
    const rate = `${whole}${part ? `[.,]${part}0*` : '(?:[.,]0+)?'}\\s?% `;
    assert.match(html, new RegExp(rate), `${p.code}: the invoice's VAT row`);
    const vatCell = new RegExp(`${rate}[^<]*</td><td[^>]*>([^<]*)</td>`).exec(html);
    assert.ok(vatCell, `${p.code}: a VAT row`);
    assert.equal(cents(vatCell[1]), iniValue(ordersDat, id, 'vat'), `${p.code}: the VAT amount`);
  }
  assert.equal(ordersDat.get(ids[1]).find(([k]) => k === 'vat')[1], '0.00', 'no VAT on the Swiss export');
});
