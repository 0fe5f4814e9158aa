// What an order carries to the order service: the fields the check page
// builds from the customer and the cart, and the scrambling they travel in.

import assert from 'node:assert/strict';
import { test } from 'node:test';
import { crypt } from '../browser/servers.mjs';
import { cartForm, shopWindow } from './shopwindow.mjs';

test('Crypt moves every character of its alphabet 35 places on, once both ways', () => {
  const { Crypt } = shopWindow();
  // Alphabet positions: digits 0-9, then A a B b ... Z z from 10, then
  // ".,:;()/|" from 62; 70 in all. Texts go in and come out URL-encoded.
  const cases = [
    ['', ''],
    ['0Az%7C', 'mrIM'],
    ['Kiel+24103', '%3B.W%2F+noNmO'],
    ['M%C3%BCller', '%7C%C3%BC%2F%2FWA'],
    ['50%25%2B', 'Pm%25%2B'],
  ];
  // The order service unscrambles to the same characters (it escapes blanks
  // its own way).
  const text = (t) => decodeURIComponent(t.replace(/\+/g, ' '));
  for (const [plain, scrambled] of cases) {
    assert.equal(Crypt(plain), scrambled, plain);
    assert.equal(Crypt(scrambled), plain, scrambled);
    assert.equal(text(crypt(scrambled)), text(plain), scrambled);
  }
  for (const t of ['Hafenweg 3, 24103 Kiel', 'T100|Assam Gold|12|4.50|54.00', 'M\u00fcller & S\u00f6hne: 50% (ca.) a+b=c; x/y']) {
    const once = Crypt(encodeURIComponent(t));
    assert.notEqual(text(once), t);
    assert.equal(text(Crypt(once)), t);
    assert.equal(text(crypt(once)), t);
  }
});

test('the order fields carry the customer, the lines and the sums in sending order', () => {
  const shop = shopWindow({
    items: { 0: { T100: { Preis: 4.5, Rabatt: ['10/5'], Menge: 12 } }, 2: { Z300: { Preis: 24, Menge: '1' } } },
    surcharges: { 2: 3 },
    porto: 7.4,
    freihaus: 147,
    layout: true,
  });
  // "|" separates the fields of an item line: a name keeps none.
  Object.assign(shop.Shop.Item[0].T100, { Name: 'Assam|Gold', Descr: 'kr\u00e4ftig | dunkel' });
  shop.preis(cartForm([{ grp: 0, key: 'T100', qty: 12 }, { grp: 2, key: 'Z300', qty: 1 }]));
  const lines = shop.Q.cartLines();
  const base = { firstname: 'Ida', lastname: 'Berg', street: 'Weg 2', zip: '10115', city: 'Berlin', country: 'Deutschland', email: 'ida@example.org' };
  const customer = (K) => ['firstname', 'lastname', 'company', 'street', 'zip', 'city', 'country', 'phone', 'fax', 'email'].map((k) => [k, K[k] ?? '']);
  const items = [['itemcount', '2'], ['item0', 'Assam/Gold - kr\u00e4ftig / dunkel|T100|12|4.50|54.00'], ['item1', 'Z300|Z300|1|24.00|24.00']];
  const sums = [
    // 54.00 + 24.00 less 2.70; 75.30 × 19 % = 14.307; 75.30 × 1.19 + 10.40 = 100.007.
    ['subtotal', '78.00'], ['qdiscount', '2.70'], ['pdiscount', '0.00'], ['total', '75.30'], ['vat', '14.31'], ['vatrate', '19.00'],
    ['shipping', '10.40'], ['subamount', '100.01'],
  ];
  const fields = (...args) => JSON.parse(JSON.stringify(shop.Q.orderFields(...args)));

  assert.deepEqual(fields('tee\\haus\'7', base, lines, shop.Shop.Cart, { key: 'nn', fee: 2 }), [
    ['UserID', 'tee\\haus\'7'], ...customer(base), ['notes', ''], ...items, ...sums, ['paymentfee', '2.00'], ['payment', 'nn'],
  ]);
  const other = { ...base, other: true, notes: 'Bitte klingeln', la_lastname: '\u00d8ster', la_city: 'Flensburg', la_country: 'Danmark' };
  const la = ['company', 'firstname', 'lastname', 'street', 'zip', 'city', 'country', 'phone', 'fax', 'email'].map((k) => ['la_' + k, other['la_' + k] ?? '']);
  assert.deepEqual(fields('', other, lines, shop.Shop.Cart, null), [
    ['UserID', ''], ...customer(other), ...la, ['notes', 'Bitte klingeln'], ...items, ...sums, ['paymentfee', '0.00'], ['payment', ''],
  ]);
});

test('the order sends the euro figures the shown ones were made from, and they re-add exactly', () => {
  const cases = [
    {
      what: 'gross at home: the amount sent is the amount shown, 2 × 14.88 + 7.40',
      shop: { items: { 0: { A: { Preis: 12.5, Menge: 2 } } }, porto: 7.4, freihaus: 147, faktor: 1.19, sprache: 'deutsch', land: 'DE' },
      items: ['A|A|2|12.50|25.00'],
      sums: { subtotal: '25.00', qdiscount: '0.00', pdiscount: '0.00', total: '25.00', vat: '4.76', shipping: '7.40', subamount: '37.16' },
      shown: '37,16\u00a0€',
    },
    {
      what: 'net in francs with both discounts, sent in euro',
      shop: {
        items: { 0: { T100: { Preis: 4.5, Rabatt: ['10/5', '50/10'], Menge: 60 }, C: { Preis: 4.284, Menge: 25 } } },
        priceLevels: ['100/2', '300/4'], porto: 7.4, freihaus: 147, rates: [0.93, 1], signs: ['CHF', ''], sprache: 'deutsch', land: 'CH',
      },
      // 270.00 + 107.00 less 27.00 is 350.00, less 4 % is 336.00; 19 % is 63.84.
      items: ['T100|T100|60|4.50|270.00', 'C|C|25|4.28|107.00'],
      sums: { subtotal: '377.00', qdiscount: '27.00', pdiscount: '14.00', total: '336.00', vat: '63.84', shipping: '0.00', subamount: '399.84' },
      shown: 'CHF\u00a0372.10',
    },
  ];
  const c100 = (t) => Math.round(Number(t) * 100);
  for (const c of cases) {
    const shop = shopWindow({ ...c.shop, layout: true });
    const lines = shop.Q.cartLines();
    shop.preis(cartForm(lines.map((l) => ({ grp: l.grp, key: l.key, qty: l.item.Menge }))));
    const fields = Object.fromEntries(JSON.parse(JSON.stringify(shop.Q.orderFields('', {}, lines, shop.Shop.Cart, null))));
    const items = Array.from(lines, (_, i) => fields['item' + i].replace(/^[^|]*\|/, lines[i].key + '|'));
    assert.deepEqual(items, c.items, c.what);
    const sums = Object.fromEntries(Object.keys(c.sums).map((k) => [k, fields[k]]));
    assert.deepEqual(sums, c.sums, c.what);
    const f = (k) => c100(fields[k]);
    let subtotal = 0;
    for (const line of items) {
      const [, , q, unit, total] = line.split('|');
      assert.equal(c100(total), Number(q) * c100(unit), line);
      subtotal += c100(total);
    }
    assert.equal(f('subtotal'), subtotal, c.what);
    assert.equal(f('total'), f('subtotal') - f('qdiscount') - f('pdiscount'), c.what);
    assert.equal(f('subamount'), f('total') + f('vat') + f('shipping'), c.what);
    assert.equal(shop.Q.toPay(null), c.shown, c.what);
  }
});
