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

test('preis adds up a cart form by hand-worked amounts', () => {
  const cases = [
    {
      what: 'a quantity level and two surcharged lines',
      shop: home,
      lines: [{ grp: 0, key: 'T100', qty: 12 }, { grp: 2, key: 'Z300', qty: 1 }, { grp: 2, key: 'Z301', qty: 2 }],
      // 54.00 less 5 %; 86.30 × 19 % = 16.397; shipping 7.40 + 3.00 + 3.00.
      want: ['54.00 ', '24.00 ', '11.00 ', '89.00 ', '-2.70 ', '-0.00 ', '86.30 ', '16.40 ', '13.40 ', '116.10 ', '116.10 \u20ac'],
    },
    {
      what: 'a total of exactly the free-delivery amount still pays shipping',
      shop: home,
      lines: [{ grp: 0, key: 'T105', qty: 60 }],
      // 150.00 less 2 % is 147.00, which is not above 147.00.
      want: ['150.00 ', '150.00 ', '-0.00 ', '-3.00 ', '147.00 ', '27.93 ', '7.40 ', '182.33 ', '182.33 \u20ac'],
    },
    {
      what: 'both discounts and free delivery',
      shop: home,
      lines: [{ grp: 0, key: 'T100', qty: 60 }],
      // 270.00 less 10 % is 243.00, less 2 % is 238.14; × 1.19 = 283.3866.
      want: ['270.00 ', '270.00 ', '-27.00 ', '-4.86 ', '238.14 ', '45.25 ', '0.00 ', '283.39 ', '283.39 \u20ac'],
    },
    {
      what: 'gross prices shown in a second currency',
      shop: { ...home, porto: 14.5, faktor: 1.19, rates: [0.87, 1], signs: ['\u00a3', ''] },
      lines: [{ grp: 0, key: 'T100', qty: 12 }],
      // Lines and discounts × 1.19 × 0.87; VAT, shipping and the amount
      // × 0.87 only: 9.747, 14.50 and 61.047 + 14.50 = 75.547.
      want: ['55.91 \u00a3', '55.91 \u00a3', '-2.80 \u00a3', '-0.00 \u00a3', '53.11 \u00a3', '8.48 \u00a3', '12.62 \u00a3', '65.73 \u00a3', '75.55 '],
    },
  ];
  for (const c of cases) {
    const shop = shopWindow(c.shop);
    const form = cartForm(c.lines);
    shop.preis(form);
    const names = [...c.lines.map((_, i) => 'Preis' + i), ...sums];
    assert.deepEqual(Object.values(fieldValues(form, names)), c.want, c.what);
  }
});

test('preis on a product form writes its lines and subtotal but no order totals', () => {
  const shop = shopWindow(home);
  const form = cartForm([{ grp: 0, key: 'T100', qty: 10 }, { grp: 0, key: 'nosuchitem', qty: 3 }]);
  form.getAttribute = () => 'item0';
  shop.preis(form);
  assert.deepEqual(fieldValues(form, ['Preis0', 'Preis1', 'subtotal', 'qdiscount', 'total', 'shipping']),
    { Preis0: '45.00 ', Preis1: '', subtotal: '45.00 ', qdiscount: '-2.25 ', total: '', shipping: '' });
  assert.equal(form.elements.Preis0.style.color, 'green', 'a line with a discount');
});
