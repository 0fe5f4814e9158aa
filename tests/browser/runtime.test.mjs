// The shop window's own functions, called as the pages call them, in the
// generated shop after it has loaded.

import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import { crypt } from './servers.mjs';
import { catalog, chooseCountry, launchBrowser, openShop } from './shop.mjs';

let browser;
let page;

before(async () => {
  browser = await launchBrowser();
  page = await openShop(browser);
});

after(async () => {
  await browser?.close();
});

describe('shop window functions', () => {
  test('KonvDez writes two decimals with a point', async () => {
    const cases = [
      [0, '0.00'],
      [0.05, '0.05'],
      [0.5, '0.50'],
      [234.5, '234.50'],
      [1.005, '1.01'], // half a cent rounds up even where binary falls short
      [19.999, '20.00'],
    ];
    const got = await page.evaluate((c) => c.map(([v]) => window.KonvDez(v)), cases);
    assert.deepEqual(got, cases.map(([, t]) => t));
  });

  test('DiscountRate takes the last level in list order that is reached', async () => {
    const ascending = ['10/5', '50/10'];
    const descending = ['50/10', '10/5'];
    const cases = [
      [ascending, 9, 0],
      [ascending, 10, 0.05],
      [ascending, 60, 0.1],
      [descending, 60, 0.05],
      [descending, 49, 0.05],
      [[], 100, 0],
      [['100/2', '300/4'], 299.99, 0.02],
    ];
    const got = await page.evaluate((c) => c.map(([l, q]) => window.DiscountRate(l, q)), cases);
    assert.deepEqual(got, cases.map(([, , r]) => r));
  });

  test('CreateMenu shows group names as typed, a backslash keeping "=", "\\xa6" and itself in the name', async () => {
    const cases = [
      ['B\xfccher=Krimis:0|Romane:1\xa6Musik:2', [['B\xfccher', ['Krimis:0', 'Romane:1'], -1], ['Musik', [], 2]]],
      ['A\\=B=x\\=y:z:0\xa6C=D\\\xa6E:2\xa6Kinder: Spiele:1',
        [['A=B', ['x=y:z:0'], -1], ['C', ['D\xa6E:2'], -1], ['Kinder: Spiele', [], 1]]],
      ["Kid's Toys=A\\\\B:0", [["Kid's Toys", ['A\\B:0'], -1]]],
      [':0\xa6=x:1\xa6A=:2', [['', [], 0], ['', ['x:1'], -1], ['A', [':2'], -1]]],
    ];
    const got = await page.evaluate((c) => c.map(([menu]) =>
      window.CreateMenu(menu).map((e) => [e.Caption, e.SubGroups, e.Index])), cases);
    assert.deepEqual(got, cases.map(([, entries]) => entries));
  });

  test('the country scripts set both display currencies and the base shipping', async () => {
    for (const country of catalog.countries) {
      await chooseCountry(page, country.code);
      const got = await page.evaluate(() => ({
        rates: window.Shop.EuroKurs.map(Number),
        signs: window.Shop.Waehrung.slice(),
        porto: Number(window.Shop.Versand.Porto),
        language: window.Shop.Sprache,
      }));
      const home = catalog.country(catalog.home);
      // EU destination: euro first, the country's own currency second.
      // Elsewhere: its own currency first, then the home currency, which for
      // an EU home is the euro without a sign.
      const expected = country.eu
        ? { rates: [1, country.euroRate], signs: ['', country.currency] }
        : home.eu
          ? { rates: [country.euroRate, 1], signs: [country.currency, ''] }
          : { rates: [country.euroRate, home.euroRate], signs: [country.currency, home.currency] };
      assert.deepEqual({ rates: got.rates, signs: got.signs }, expected, country.name);
      assert.equal(got.language, country.language, country.name);
      assert.ok(Math.abs(got.porto - (catalog.packing + country.shippingFee)) < 1e-9, `${country.name}: ${got.porto}`);
    }
    // The fixture has one destination of each kind.
    assert.deepEqual(catalog.countries.map((c) => c.eu).sort(), [false, true]);
  });

  test('Crypt scrambles as the order service expects and twice gives the text back', async () => {
    const texts = [
      'Erika Mustermann',
      'Hafenweg 3, 24103 Kiel',
      'T100|Assam Gold|12|4.50|54.00',
      encodeURIComponent('Müller & Söhne: 50% (ca.) a+b=c; x/y'),
      '',
    ];
    const got = await page.evaluate((t) => t.map((s) => {
      const once = window.Crypt(s);
      return [once, window.Crypt(once)];
    }), texts);
    for (let i = 0; i < texts.length; i++) {
      const [once, twice] = got[i];
      // Compared after decoding: how the shop escapes characters is its own
      // business, the characters are not.
      assert.equal(decodeURIComponent(twice.replace(/\+/g, ' ')), decodeURIComponent(texts[i]), texts[i]);
      assert.equal(decodeURIComponent(crypt(once)), decodeURIComponent(texts[i]), texts[i]);
      if (/[0-9A-Za-z]/.test(texts[i])) assert.notEqual(once, texts[i]);
    }
    // Each character of the alphabet moves 35 places on, round the end.
    assert.equal(await page.evaluate(() => window.Crypt('0Az|')), crypt('0Az|'));
    assert.equal(decodeURIComponent(crypt('0Az|')), 'mrIM');
  });
});
