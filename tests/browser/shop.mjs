// What every browser test shares: the browser, the shop window and its frame
// "main", screenshots, and the arithmetic a customer would do by hand with
// the fixture's numbers.

import fs from 'node:fs';
import path from 'node:path';
import { chromium } from 'playwright-core';
import { readCatalog, readWords } from './fixture.mjs';

function required(name) {
  const v = process.env[name];
  if (!v) throw new Error(`${name} is not set: start the tests with run.mjs`);
  return v;
}

export const shopUrl = required('QUILLANE_SHOP_URL');
export const ordersUrl = required('QUILLANE_ORDERS_URL');
export const testHome = required('QUILLANE_TEST_HOME');
export const screenshotDir = required('QUILLANE_SCREENSHOTS');
export const catalog = readCatalog(testHome);
export const words = (language) => readWords(testHome, language);

export async function launchBrowser() {
  const root = typeof process.getuid === 'function' && process.getuid() === 0;
  return chromium.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    // The machine has no network beyond loopback: keep the browser from
    // calling out on its own.
    args: [
      ...(root ? ['--no-sandbox'] : []),
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
      '--disable-dev-shm-usage',
    ],
  });
}

// The frame "main" of the shop window.
export function main(page) {
  const f = page.frame({ name: 'main' });
  if (!f) throw new Error('the shop window has no frame "main"');
  return f;
}

// Waits until the frame "main" shows a page whose file name matches and,
// unless told otherwise, has loaded.
export async function waitForMain(page, pattern, { timeout = 20000, loaded = true } = {}) {
  const re = pattern instanceof RegExp ? pattern : new RegExp('/' + pattern.replace(/\./g, '\\.') + '(\\?|#|$)');
  const deadline = Date.now() + timeout;
  for (;;) {
    const f = page.frame({ name: 'main' });
    if (f && re.test(f.url())) {
      if (loaded) await f.waitForLoadState('load');
      return f;
    }
    if (Date.now() > deadline) {
      throw new Error(`frame "main" shows ${f ? f.url() : 'nothing'}, not ${re}`);
    }
    await page.waitForTimeout(50);
  }
}

// Opens the shop (the fixture's, unless another's address is given) and
// waits for the categories, where the loader ends.
// Errors of the pages' scripts are collected in page.scriptErrors.
export async function openShop(browser, { width = 1100, height = 800, url = shopUrl } = {}) {
  const context = await browser.newContext({ viewport: { width, height } });
  context.setDefaultTimeout(10000);
  const page = await context.newPage();
  page.scriptErrors = [];
  page.on('pageerror', (e) => page.scriptErrors.push(e.message));
  // Leaving the shop asks before the cart is lost; the tests leave on purpose.
  page.on('dialog', (d) => d.accept().catch(() => {}));
  await page.goto(url + 'index.html');
  await waitForMain(page, 'categories.html');
  return page;
}

export async function screenshot(page, name) {
  fs.mkdirSync(screenshotDir, { recursive: true });
  await page.screenshot({ path: path.join(screenshotDir, name + '.png'), fullPage: true });
}

// A picture of a page that is still loading (the browser's own capture: the
// usual one waits for the page's fonts, which a held request delays).
export async function screenshotWhileLoading(page, name) {
  fs.mkdirSync(screenshotDir, { recursive: true });
  const cdp = await page.context().newCDPSession(page);
  const { data } = await cdp.send('Page.captureScreenshot', { format: 'png' });
  fs.writeFileSync(path.join(screenshotDir, name + '.png'), Buffer.from(data, 'base64'));
  await cdp.detach();
}

// Runs an action that makes the frame "main" load a page and waits for
// that new page, also when it has the same address as the old one.
export async function navigateMain(page, action, pattern = null) {
  const before = main(page).url();
  await main(page).evaluate(() => { window.__oldPage = true; });
  await action();
  await page.waitForFunction(
    ([same, source]) => {
      const f = window.frames['main'];
      if (!f || f.__oldPage || f.document.readyState !== 'complete') return false;
      return source ? new RegExp(source).test(f.location.href) : f.location.href === same;
    },
    [before, pattern ? pattern.source : null],
  );
  return main(page);
}

// Switches the country as the shop's own select does; the loader runs and
// brings the customer back to the page shown before.
export function chooseCountry(page, code) {
  return navigateMain(page, () => page.evaluate((c) => window.SelectCountry(c), code));
}

// ------------------------------------------------------------ browsing --

export const escape = (s) => s.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');
// Opens a group from the categories page: a main group with sub groups
// first opens its list of sub groups.
export async function openGroup(page, group, language) {
  const [first, second] = group.paths[language];
  let frame = main(page);
  if (second !== undefined) {
    // The button toggles: a group still open from the last visit stays open.
    const button = frame.getByRole('button', { name: first, exact: true });
    if ((await button.getAttribute('aria-expanded')) !== 'true') {
      await button.click();
      frame = await waitForMain(page, 'categories.html');
    }
    await frame.getByRole('link', { name: new RegExp('^' + escape(second) + '\\b') }).click();
  } else {
    await frame.getByRole('link', { name: new RegExp('^' + escape(first) + '\\b') }).click();
  }
  return waitForMain(page, /\/(view_\w+|description)\.html\?/);
}

// The entry of a main group on the categories page: a button when it has
// sub groups, a link to its items otherwise.
export function groupEntry(frame, name) {
  return frame.getByRole('button', { name, exact: true })
    .or(frame.getByRole('link', { name: new RegExp('^' + escape(name) + '\\b') }));
}

// Item keys of the product forms on the page shown, in page order.
export function listedKeys(frame) {
  return frame.$$eval('form input[name="BNr0"]', (els) => els.map((e) => e.value));
}

// Puts a quantity of an item into the cart from a list page of its group.
export async function addFromList(page, key, qty, language) {
  const item = catalog.item(key);
  await main(page).getByRole('link', { name: words(language).categories, exact: true }).first().click();
  await waitForMain(page, 'categories.html');
  const frame = await openGroup(page, catalog.groups[item.group], language);
  const form = frame.locator('form').filter({ has: frame.locator(`input[name="BNr0"][value="${key}"]`) });
  await form.getByRole('spinbutton').fill(String(qty));
  await form.getByRole('button', { name: words(language).addtocart }).click();
}

// ---------------------------------------------------------- arithmetic --

// Two decimals, halves up; amounts here are sums of cents times rates.
export function money(v) {
  return (Math.round(v * 100 + 1e-7) / 100).toFixed(2);
}

// Rate of the last level, in list order, whose threshold is reached.
export function levelRate(levels, indicator) {
  let rate = 0;
  for (const l of levels) {
    const [threshold, percent] = l.split('/').map(Number);
    if (threshold <= indicator) rate = percent / 100;
  }
  return rate;
}

// The two display currencies of a destination: the first shows every
// price, the second the final amount once more.
export function currencies(country) {
  const home = catalog.country(catalog.home);
  if (country.eu) return [{ rate: 1, sign: '' }, { rate: country.euroRate, sign: country.currency }];
  return [
    { rate: country.euroRate, sign: country.currency },
    home.eu ? { rate: 1, sign: '' } : { rate: home.euroRate, sign: home.currency },
  ];
}

// Whole cents of an amount counted in cents, halves up.
const roundCents = (x) => Math.floor(x * (1 + 1e-12) + 0.5);

// An amount in cents as a customer of that country reads it: "14,88 €",
// "£47.60", with the sign of the display currency (euro when empty).
export function shownAmount(c, sign, country) {
  const lang = { deutsch: 'de', english: 'en' }[country.language];
  const format = new Intl.NumberFormat(`${lang}-${country.code.toUpperCase()}`,
    { style: 'currency', currency: 'EUR', minimumFractionDigits: 2, maximumFractionDigits: 2 });
  return format.formatToParts(c / 100 || 0).map((p) => (p.type === 'currency' ? sign || '\u20ac' : p.value)).join('');
}

// The cart a customer expects for lines [{ key, qty }] shipped to a
// country, as the texts of the cart form's fields, and the euro figures
// the order sends. Counted in cents: a shown unit price is rounded once, a
// line is quantity × that unit, the sums add what is shown; in gross
// display the VAT sent is the gross goods total less the net one.
export function expectedCart(lines, countryName, { gross = false } = {}) {
  const country = catalog.country(countryName);
  const [c0, c1] = currencies(country);
  const factor = gross ? catalog.homeVat : 1;
  const entries = lines.map(({ key, qty }) => ({ item: catalog.item(key), qty }));
  let porto = roundCents((catalog.packing + country.shippingFee) * 100);
  for (const e of entries) porto += roundCents(e.item.surcharge * 100);
  const goods = (f, rate) => {
    const g = { lines: entries.map((e) => e.qty * roundCents(e.item.price * 100 * f * rate)) };
    g.subtotal = g.lines.reduce((a, b) => a + b, 0);
    g.qDiscount = roundCents(entries.reduce((a, e, i) => a + g.lines[i] * levelRate(e.item.levels, e.qty), 0));
    return g;
  };
  const euro = goods(1, 1);
  const pRate = levelRate(catalog.priceLevels, (euro.subtotal - euro.qDiscount) / 100);
  const discounted = (g) => {
    g.pDiscount = roundCents((g.subtotal - g.qDiscount) * pRate);
    g.total = g.subtotal - g.qDiscount - g.pDiscount;
    return g;
  };
  discounted(euro);
  euro.shipping = euro.total > roundCents(catalog.freeDelivery * 100) ? 0 : porto;
  euro.vat = gross ? discounted(goods(factor, 1)).total - euro.total : roundCents(euro.total * (catalog.homeVat - 1));
  euro.subamount = euro.total + euro.vat + euro.shipping;
  const view = (rate) => {
    const g = discounted(goods(factor, rate));
    g.shipping = roundCents(euro.shipping * rate);
    g.vat = roundCents(euro.vat * rate);
    g.subamount = g.total + g.shipping + (gross ? 0 : g.vat);
    return g;
  };
  const shown = view(c0.rate);
  const show = (c) => shownAmount(c, c0.sign, country);
  const numbers = {};
  for (const k of ['subtotal', 'qDiscount', 'pDiscount', 'total', 'vat', 'shipping', 'subamount']) numbers[k] = euro[k] / 100;
  return {
    numbers,
    shown,
    fields: {
      lines: shown.lines.map(show),
      subtotal: show(shown.subtotal),
      qdiscount: show(-shown.qDiscount),
      pdiscount: show(-shown.pDiscount),
      total: show(shown.total),
      vat: show(shown.vat),
      shipping: show(shown.shipping),
      subamount: show(shown.subamount),
      euro: shownAmount(view(c1.rate).subamount, c1.sign, country),
    },
  };
}

// Text of a field of a form in a frame: value of an input, text otherwise.
export function formFields(frame, formName, names) {
  return frame.evaluate(
    ([form, list]) => {
      const f = document.forms[form];
      if (!f) return null;
      const out = {};
      for (const n of list) {
        let e = f.elements[n];
        if (e && !e.tagName && e.length) e = e[0];
        out[n] = e ? String('value' in e ? e.value : e.textContent) : undefined;
      }
      return out;
    },
    [formName, names],
  );
}
