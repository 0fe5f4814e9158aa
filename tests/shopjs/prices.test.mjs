// The shop window's arithmetic on its own: two-decimal texts, discount
// levels and the sums preis writes into a cart form. Every expected amount
// is worked out by hand from the numbers beside it.

import assert from 'node:assert/strict';
import { test } from 'node:test';
import { cartForm, fieldValues, shopWindow } from './shopwindow.mjs';

test('KonvDez writes two decimals with a point, halves up', () => {
  const { KonvDez } = shopWindow();
  const cases = [
    [0, '0.00'],
    [0.05, '0.05'],
    [0.5, '0.50'],
    [234.5, '234.50'],
    [1.005, '1.01'], // half a cent rounds up even where binary falls short
    [19.999, '20.00'],
    [-2.345, '-2.35'],
    ['3,5', '3.50'],
    ['', '0.00'],
  ];
  assert.deepEqual(cases.map(([v]) => KonvDez(v)), cases.map(([, t]) => t));
});

test('DiscountRate takes the last level in list order that is reached', () => {
  const { DiscountRate } = shopWindow();
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
    [['x/5', '10', '5,5/2,5'], 6, 0.025],
  ];
  assert.deepEqual(cases.map(([l, q]) => DiscountRate(l, q)), cases.map(([, , r]) => r));
});

// A home shop as a merchant might set it up: packing 2.50 plus 4.90 to the
// home country, free delivery above 147.00, 2 % from an order value of 100
// and 4 % from 300, VAT 19 %; the accessories group costs 3.00 more a line.
const home = {
  items: {
    0: { T100: { Preis: 4.5, Rabatt: ['10/5', '50/10'] }, T105: { Preis: 2.5 } },
    2: { Z300: { Preis: 24 }, Z301: { Preis: 5.5 } },
  },
  surcharges: { 2: 3 },
  priceLevels: ['100/2', '300/4'],
  porto: 7.4,
  freihaus: 147,
  vat: 1.19,
  signs: ['', '\u20ac'],
};
const sums = ['subtotal', 'qdiscount', 'pdiscount', 'total', 'vat', 'shipping', 'subamount', 'euro'];

// Amount texts in cents, whatever the locale writes around the digits.
const cents = (text) => (/[-\u2212]/.test(text) ? -1 : 1) * Number(text.replace(/[^0-9]/g, ''));
// Intl keeps amount and sign together with a no-break space.
const nb = (t) => t.replace(/ /g, '\u00a0');
const germany = { ...home, sprache: 'deutsch', land: 'DE' };

test('preis shows amounts that add up, rounded once, in the customer\'s format', () => {
  const cases = [
    {
      what: 'at home, net: a quantity level and two surcharged lines',
      shop: germany,
      lines: [{ grp: 0, key: 'T100', qty: 12 }, { grp: 2, key: 'Z300', qty: 1 }, { grp: 2, key: 'Z301', qty: 2 }],
      // 54.00 less 5 %; 86.30 × 19 % = 16.397; shipping 7.40 + 3.00 + 3.00.
      want: ['54,00 €', '24,00 €', '11,00 €', '89,00 €', '-2,70 €', '0,00 €', '86,30 €', '16,40 €', '13,40 €', '116,10 €', '116,10 €'],
    },
    {
      what: 'at home, net: both discounts and free delivery',
      shop: germany,
      lines: [{ grp: 0, key: 'T100', qty: 60 }],
      // 270.00 less 10 % is 243.00, less 2 % is 238.14; 238.14 × 19 % = 45.2466.
      want: ['270,00 €', '270,00 €', '-27,00 €', '-4,86 €', '238,14 €', '45,25 €', '0,00 €', '283,39 €', '283,39 €'],
    },
    {
      what: 'at home, gross: 2 × 14.88 € is 29.76 €, and the VAT is what the gross adds to the net 25.00',
      shop: { ...germany, items: { 0: { A: { Preis: 12.5 } } }, faktor: 1.19 },
      lines: [{ grp: 0, key: 'A', qty: 2 }],
      want: ['29,76 €', '29,76 €', '0,00 €', '0,00 €', '29,76 €', '4,76 €', '7,40 €', '37,16 €', '37,16 €'],
    },
    {
      what: 'United Kingdom, gross in pounds',
      shop: { ...home, sprache: 'english', land: 'GB', porto: 14.5, faktor: 1.19, rates: [0.87, 1], signs: ['\u00a3', ''] },
      lines: [{ grp: 0, key: 'T100', qty: 12 }],
      // 4.50 × 1.19 × 0.87 = 4.65885 shows 4.66, × 12 = 55.92, less 5 % (2.796).
      // In euro 5.36 × 12 = 64.32 less 3.22 is 61.10 gross over 51.30 net:
      // VAT 9.80 (8.526 in pounds); shipping 14.50 (12.615); 61.10 + 14.50.
      want: ['£55.92', '£55.92', '-£2.80', '£0.00', '£53.12', '£8.53', '£12.62', '£65.74', '€75.60'],
    },
    {
      what: 'Switzerland, net in francs, both discounts: 25 × 3.98 CHF is 99.50 CHF',
      shop: {
        ...home, sprache: 'deutsch', land: 'CH', rates: [0.93, 1], signs: ['CHF', ''],
        items: { ...home.items, 1: { C: { Preis: 4.284 } } },
      },
      lines: [{ grp: 0, key: 'T100', qty: 60 }, { grp: 1, key: 'C', qty: 25 }],
      // 4.50 × 0.93 = 4.185 shows 4.19, × 60 = 251.40; 4.284 × 0.93 = 3.98412.
      // 10 % of 251.40; 4 % of 325.76 (the euro total 350.00 reaches 300);
      // VAT 19 % of the euro net 336.00 = 63.84, 59.3712 francs.
      want: ['CHF 251.40', 'CHF 99.50', 'CHF 350.90', 'CHF-25.14', 'CHF-13.03', 'CHF 312.73', 'CHF 59.37', 'CHF 0.00', 'CHF 372.10', '€ 399.84'],
    },
  ];
  for (const c of cases) {
    const shop = shopWindow({ ...c.shop, layout: true });
    const form = cartForm(c.lines);
    shop.preis(form);
    const names = [...c.lines.map((_, i) => 'Preis' + i), ...sums];
    const got = fieldValues(form, names);
    assert.deepEqual(Object.values(got), c.want.map(nb), c.what);

    // A line is the quantity times the unit price the pages show; the sums
    // are the sums of the amounts shown.
    let lines = 0;
    c.lines.forEach((l, i) => {
      const unit = cents(shop.Q.price(shop.Shop.Item[l.grp][l.key].Preis));
      assert.equal(cents(got['Preis' + i]), l.qty * unit, `${c.what}: line ${i}`);
      lines += cents(got['Preis' + i]);
    });
    const v = (n) => cents(got[n]);
    assert.equal(v('subtotal'), lines, c.what);
    assert.equal(v('total'), v('subtotal') + v('qdiscount') + v('pdiscount'), c.what);
    const gross = (c.shop.faktor ?? 1) !== 1;
    assert.equal(v('subamount'), v('total') + v('shipping') + (gross ? 0 : v('vat')), c.what);
  }
});

test('amounts fall back to two decimals and the sign where no locale is known', () => {
  const shop = shopWindow({ ...home, signs: ['', ''] });
  assert.deepEqual([shop.FormatAmount(1488), shop.FormatAmount(-270), shop.FormatAmount(5, 1)], ['14.88 €', '-2.70 €', '0.05 €']);
});

test('preis on a product form writes its lines and subtotal but no order totals', () => {
  const shop = shopWindow(home);
  const form = cartForm([{ grp: 0, key: 'T100', qty: 10 }, { grp: 0, key: 'nosuchitem', qty: 3 }]);
  form.getAttribute = () => 'item0';
  shop.preis(form);
  assert.deepEqual(fieldValues(form, ['Preis0', 'Preis1', 'subtotal', 'qdiscount', 'total', 'shipping']),
    { Preis0: '45.00 €', Preis1: '', subtotal: '45.00 €', qdiscount: '-2.25 €', total: '', shipping: '' });
  assert.equal(form.elements.Preis0.style.color, 'green', 'a line with a discount');
});
