// The whole road of two orders: a shop generated with quillane-cli sends to
// the real quillane-orderd, a customer orders in the browser, the program
// fetches the orders and prints their invoices. Each invoice must show, to
// the cent, what the customer saw on the check page before sending.

import assert from 'node:assert/strict';
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { buildHome, generateShop, iniValue, parseIni, projectName, setIniKey } from './fixture.mjs';
import { startStaticServer } from './servers.mjs';
import {
  addFromList, catalog, expectedCart, formFields, launchBrowser, main, money, navigateMain, openShop, screenshot, waitForMain,
  words,
} from './shop.mjs';

const cli = process.env.QUILLANE_CLI;
const orderd = process.env.QUILLANE_ORDERD;
const work = path.join(process.env.QUILLANE_WORK, 'road');
const account = { name: 'teehaus7', password: 'Kanne7+Tasse' };

let service;
let shop;
let browser;
let homeDir;

// ----------------------------------------------------------- helpers --

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

// Starts the service on a free port; resolves once it says where it listens.
function startService(dataDir) {
  const child = spawn(orderd, ['serve', '--listen', '127.0.0.1:0', '--data', dataDir, '--allow-private-shops'], {
    stdio: ['ignore', 'pipe', 'pipe'],
  });
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
    const timer = setTimeout(() => s.child.kill('SIGKILL'), 10000);
    s.child.on('exit', () => { clearTimeout(timer); resolve(); });
    s.child.kill('SIGTERM');
  });
}

// The program's pages and data files are Windows-1252; Node's own decoder
// here reads that as Latin-1, which differs at 0x80-0x9f.
const cp1252High = '\u20ac\ufffd\u201a\u0192\u201e\u2026\u2020\u2021\u02c6\u2030\u0160\u2039\u0152\ufffd\u017d\ufffd'
  + '\ufffd\u2018\u2019\u201c\u201d\u2022\u2013\u2014\u02dc\u2122\u0161\u203a\u0153\ufffd\u017e\u0178';
function decodeCp1252(bytes) {
  let s = '';
  for (const b of bytes) s += b >= 0x80 && b < 0xa0 ? cp1252High[b - 0x80] : String.fromCharCode(b);
  return s;
}

const entities = { amp: '&', lt: '<', gt: '>', quot: '"', nbsp: ' ' };
function pageText(html) {
  return html
    .replace(/<br[^>]*>/gi, '\n')
    .replace(/<[^>]*>/g, '')
    .replace(/&#(\d+);/g, (_, n) => String.fromCharCode(Number(n)))
    .replace(/&(\w+);/g, (m, e) => entities[e] ?? m)
    .split('\n').map((l) => l.replace(/\s+/g, ' ').trim()).filter(Boolean);
}

// A section of a language file, keys in lower case.
function invoiceWords(language) {
  const text = decodeCp1252(fs.readFileSync(path.join(homeDir, 'sprache', language + '.lng')));
  for (const [name, entries] of parseIni(text)) {
    if (name.toLowerCase() === 'rechnung') return Object.fromEntries(entries.map(([k, v]) => [k.toLowerCase(), v]));
  }
  throw new Error(`the language file ${language} has no invoice texts`);
}

// Two decimals of an amount as shown, without sign and currency.
function cents(text) {
  // "1.234,56 €", "£1,234.56", "1234.56": every amount has two decimals.
  const m = /\d[\d.,'\u2019\u00a0\u202f]*\d\d/.exec(text ?? '');
  if (!m) return `(no amount in "${text}")`;
  const digits = m[0].replace(/\D/g, '');
  return `${Number(digits.slice(0, -2))}.${digits.slice(-2)}`;
}

// The invoice's order table: item rows and the sum rows by their label.
function readInvoice(html) {
  const items = [];
  const sums = {};
  for (const [, row] of html.matchAll(/<tr[^>]*>([\s\S]*?)<\/tr>/gi)) {
    const cells = [...row.matchAll(/<td[^>]*>([\s\S]*?)<\/td>/gi)].map(([, c]) => pageText(c).join(' '));
    if (cells.length === 6 && /^\d+\.$/.test(cells[0])) {
      items.push({ key: cells[2], qty: cells[3], price: cents(cells[4]), amount: cents(cells[5]) });
    } else if (cells.length === 2 && cells[0].endsWith(':')) {
      sums[cells[0].slice(0, -1).trim()] = cents(cells[1]);
    }
  }
  const block = (cls) => {
    const m = new RegExp(`<(td|div)[^>]*class="[^"]*\\b${cls}\\b[^"]*"[^>]*>([\\s\\S]*?)</\\1>`).exec(html);
    return m ? pageText(m[2]) : [];
  };
  return { items, sums, delivery: block('delivery'), text: pageText(html).join('\n') };
}

// What the check page shows before the order is sent.
async function readCheckPage(frame) {
  const count = Number((await formFields(frame, 'cart', ['Elemente'])).Elemente);
  const names = [];
  for (let i = 0; i < count; i++) names.push('BNr' + i, 'Menge' + i, 'Preis' + i);
  const sums = ['subtotal', 'qdiscount', 'pdiscount', 'total', 'vat', 'shipping', 'subamount'];
  const f = await formFields(frame, 'cart', [...names, ...sums]);
  const seen = { lines: [], ...Object.fromEntries(sums.map((s) => [s, cents(f[s])])) };
  for (let i = 0; i < count; i++) seen.lines.push({ key: f['BNr' + i], qty: f['Menge' + i], amount: cents(f['Preis' + i]) });
  const feeRow = frame.locator('#row-fee');
  seen.fee = (await feeRow.isHidden()) ? '0.00' : cents(await feeRow.locator('td').innerText());
  seen.amount = seen.fee === '0.00' ? seen.subamount : cents(await frame.locator('#amount').innerText());
  return seen;
}

// ------------------------------------------------------------- setup --

before(async () => {
  assert.ok(cli && fs.existsSync(cli), `quillane-cli ${cli} does not exist: start the tests with run.mjs`);
  assert.ok(orderd && fs.existsSync(orderd), `quillane-orderd ${orderd} does not exist: give run.mjs --orderd`);
  fs.rmSync(work, { recursive: true, force: true });
  const serviceData = path.join(work, 'orderd');
  fs.mkdirSync(serviceData, { recursive: true });
  service = await startService(serviceData);

  const built = buildHome(path.join(work, 'home'), {
    dataDir: process.env.QUILLANE_DATA,
    layoutDir: process.env.QUILLANE_LAYOUT,
    orderService: service.url,
  });
  homeDir = built.homeDir;
  const ini = path.join(homeDir, 'quillane.ini');
  let settings = fs.readFileSync(ini, 'latin1');
  settings = setIniKey(settings, 'Account', 'UserID', account.name);
  settings = setIniKey(settings, 'Account', 'Password', account.password);
  fs.writeFileSync(ini, Buffer.from(settings, 'latin1'));
  generateShop(cli, homeDir, path.join(work, 'tmp'));
  shop = await startStaticServer(built.shopDir);
  // With the shop's address the service works every order out again from
  // what the shop published.
  const added = run(orderd, ['account', 'add', account.name, '--password-stdin', '--shop', shop.url, '--data', serviceData],
    account.password + '\n');
  assert.equal(added.status, 0, `quillane-orderd account add failed:\n${added.stdout}${added.stderr}`);
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
  await shop?.close();
  await stopService(service);
});

// -------------------------------------------------------------- test --

const home = catalog.country(catalog.home);

const orders = [
  {
    // Another delivery address and remarks with umlauts; prepayment, no fee.
    lines: [{ key: 'T101', qty: 2 }, { key: 'K201', qty: 1 }],
    customer: {
      firstname: 'Käthe', lastname: 'Größer', company: 'Teestübchen Öhringen', street: 'Hauptstraße 5',
      zip: '74613', city: 'Öhringen', email: 'kaethe@example.org', phone: '07941 1234',
    },
    delivery: {
      la_firstname: 'Jürgen', la_lastname: 'Weiß', la_company: 'Bäckerei Süß', la_street: 'Mühlenweg 12',
      la_zip: '24103', la_city: 'Lübeck',
    },
    notes: 'Bitte beim Nachbarn Müller abgeben – Grüße, Käthe',
    payment: 'vk',
  },
  {
    // A quantity level, the order-value level and a surcharged group; cash
    // on delivery, which costs the home country's fee.
    lines: [{ key: 'T100', qty: 12 }, { key: 'Z300', qty: 1 }, { key: 'K200', qty: 2 }],
    customer: {
      firstname: 'Otto', lastname: 'Brandt', company: '', street: 'Deichweg 3', zip: '25980', city: 'Sylt',
      email: 'otto@example.org', phone: '',
    },
    delivery: null,
    notes: '',
    payment: 'nn',
  },
];

async function placeOrder(order) {
  const de = words(home.language);
  const page = await openShop(browser, { url: shop.url });
  for (const l of order.lines) await addFromList(page, l.key, l.qty, home.language);
  const cartLink = main(page).getByRole('navigation').getByRole('link', { name: de.cart, exact: true });
  let frame = await navigateMain(page, () => cartLink.click(), /\/cart\.html$/);
  frame = await navigateMain(page, () => frame.getByRole('button', { name: de.checkout }).click(), /order_address\.html/);

  const form = frame.locator('form[name="orderform"]');
  for (const [name, value] of Object.entries(order.customer)) await form.locator(`[name="${name}"]`).fill(value);
  if (order.delivery) {
    await form.locator('[name="other"]').check();
    for (const [name, value] of Object.entries(order.delivery)) await form.locator(`[name="${name}"]`).fill(value);
  }
  if (order.notes) await form.locator('[name="notes"]').fill(order.notes);
  await form.locator(`input[name="payment"][value="${order.payment}"]`).check();
  frame = await navigateMain(page, () => form.getByRole('button', { name: de.next }).click(), /order_verification\.html/);
  const seen = await readCheckPage(frame);
  await screenshot(page, `20-road-check-${order.payment}`);

  const send = frame.locator('form[name="orderform"]');
  await send.locator('[name="privacy"]').check();
  await send.getByRole('button', { name: de.sendorder }).click();
  await waitForMain(page, /\/(queue|finish)\.html/);
  assert.deepEqual(page.scriptErrors, [], 'script errors in the shop');
  await page.context().close();
  return seen;
}

test('two orders from the browser reach the invoices as the customer saw them', async () => {
  for (const order of orders) order.seen = await placeOrder(order);

  // The cases show what they should: the shop computed the cart we meant.
  for (const order of orders) {
    assert.deepEqual(order.seen.lines.map((l) => `${l.qty}x${l.key}`).sort(), order.lines.map((l) => `${l.qty}x${l.key}`).sort(),
      `the check page of the ${order.payment} order lists what was put into the cart`);
  }
  const [plain, discounted] = orders;
  const want = expectedCart(discounted.lines, home.name).numbers;
  assert.ok(want.qDiscount > 0 && want.pDiscount > 0 && home.codFee > 0, 'the second order has both discounts and a fee');
  assert.deepEqual(
    [discounted.seen.qdiscount, discounted.seen.pdiscount, discounted.seen.fee, discounted.seen.amount],
    [money(want.qDiscount), money(want.pDiscount), money(home.codFee), money(want.subamount + home.codFee)],
    'the check page of the second order',
  );
  assert.equal(plain.seen.fee, '0.00');

  const fetched = cliOk('orders', 'fetch');
  assert.match(fetched, /received 2 orders, 2 new/, 'orders fetch');
  // Both were worked out again from the published shop, none taken unchecked.
  assert.doesNotMatch(service.output(), /order for .* taken with/, 'the service log');

  const listed = cliOk('orders', 'list').split('\n').filter(Boolean).map((l) => l.split('\t'));
  assert.equal(listed.length, 2, `orders list:\n${listed.join('\n')}`);
  const ordersDat = parseIni(decodeCp1252(fs.readFileSync(path.join(homeDir, 'orders.dat'))));
  const rechnung = invoiceWords(home.language);

  for (const order of orders) {
    const label = `the order of ${order.customer.lastname}`;
    const id = [...ordersDat.keys()].find((k) => iniValue(ordersDat, k, 'lastname') === order.customer.lastname);
    const row = listed.find((r) => r[0] === id);
    assert.ok(row, `${label} (${id}) is not in the orders list:\n${listed.map((r) => r.join(' | ')).join('\n')}`);
    assert.equal(cents(row[3]), order.seen.amount, `${label}: amount payable in the list`);
    // The invoice page shows no remarks; the fetched order keeps them.
    assert.equal(iniValue(ordersDat, id, 'notes'), order.notes, `${label}: remarks in orders.dat`);

    const out = path.join(work, `invoice-${order.payment}.html`);
    cliOk('invoice', id, '--project', projectName, '--out', out);
    const raw = fs.readFileSync(out);
    assert.match(raw.toString('latin1'), /charset="?windows-1252/i);
    const invoice = readInvoice(decodeCp1252(raw));

    assert.deepEqual(
      invoice.items.map(({ key, qty, amount }) => ({ key, qty, amount })),
      order.seen.lines,
      `${label}: the item lines`,
    );
    for (const it of invoice.items) assert.equal(it.price, money(catalog.item(it.key).price), `${label}: unit price of ${it.key}`);
    const sum = (key) => invoice.sums[rechnung[key]];
    const vatLabel = Object.keys(invoice.sums).find((k) => k.endsWith(rechnung.vat));
    const shown = {
      subtotal: sum('subtotal') ?? sum('total'),
      qdiscount: sum('qdiscount') ?? '0.00',
      pdiscount: sum('pdiscount') ?? '0.00',
      total: sum('total'),
      vat: invoice.sums[vatLabel],
      shipping: invoice.sums[`${rechnung.excl} ${rechnung.shipping}`],
      fee: sum(order.payment + '_fee') ?? '0.00',
      amount: sum('amount'),
    };
    const seen = order.seen;
    assert.deepEqual(
      shown,
      {
        subtotal: seen.subtotal, qdiscount: seen.qdiscount, pdiscount: seen.pdiscount, total: seen.total, vat: seen.vat,
        shipping: seen.shipping, fee: seen.fee, amount: seen.amount,
      },
      `${label}: the invoice's sums against the check page (invoice rows: ${JSON.stringify(invoice.sums)})`,
    );

    // "58,65 €" on a German invoice, "€58.65" on an English one.
    const cur = home.currency.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');
    const payable = [...invoice.text.matchAll(new RegExp(`(\\d[\\d.,]*\\d\\d) ?${cur}|${cur} ?(\\d[\\d.,]*\\d\\d)`, 'g'))]
      .map((m) => cents(m[1] ?? m[2]));
    assert.ok(payable.includes(seen.amount), `${label}: the amount payable in ${home.currency} (${payable.join(', ')})`);

    const billing = [order.customer.company, `${order.customer.firstname} ${order.customer.lastname}`, order.customer.street,
      `${order.customer.zip} ${order.customer.city}`].filter(Boolean);
    const d = order.delivery;
    // A delivery address of its own is printed; without one the goods go to the billing address, which the
    // window block already shows.
    const shipTo = d
      ? [d.la_company, `${d.la_firstname} ${d.la_lastname}`, d.la_street, `${d.la_zip} ${d.la_city}`].filter(Boolean)
      : invoice.delivery.length ? billing : [];
    for (const line of shipTo) assert.ok(invoice.delivery.includes(line), `${label}: "${line}" in the delivery address ${JSON.stringify(invoice.delivery)}`);
    for (const line of billing) assert.ok(invoice.text.split('\n').includes(line), `${label}: "${line}" in the billing address`);
  }
});
