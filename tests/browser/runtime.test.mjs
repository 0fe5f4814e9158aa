// The shop window's own functions, called as the pages call them, in the
// generated shop after it has loaded. The arithmetic and the scrambling run
// without a browser in tests/shopjs.

import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
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
});
