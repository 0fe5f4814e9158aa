// The carts of tests/fixtures/carts/carts.json through the shop's own
// script: the items read by CreateItemList from their database text, the
// sums by CartFigures, the order's fields by the layout's orderFields. The
// order service works the same carts out with its own copy of the rules
// (tests/orderd/CartRulesTest.cpp); both must give the hand-worked figures.

import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import vm from 'node:vm';
import { test } from 'node:test';
import { fileURLToPath } from 'node:url';
import { cartForm, shopWindow } from './shopwindow.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const fixture = JSON.parse(fs.readFileSync(path.join(here, '../fixtures/carts/carts.json'), 'utf8'));

// The shop window as var_init.js, the country's script and the loader
// leave it for the cart.
function cartWindow(cart) {
  const s = fixture.shops[cart.shop];
  const c = fixture.countries[cart.country];
  const w = shopWindow({
    vat: s.homeVat, faktor: cart.gross ? s.homeVat : 1, rates: c.rates, priceLevels: s.priceLevels,
    porto: s.packing + c.shippingFee, freihaus: s.freeDelivery, layout: true,
  });
  const inside = (value) => vm.runInContext(`(${JSON.stringify(value)})`, w);
  const shop = w.Shop;
  shop.Home.Index = s.homeIndex;
  shop.Home.EU = s.homeEu;
  shop.VatByDestination = s.vatByDestination;
  shop.Land = cart.country;
  shop.Destination = inside({ VAT: c.vat, EU: c.eu, Name: c.name });
  shop.Rabatt.Menge = inside(s.quantityLevels);
  // The country script sets each fee as a number literal.
  shop.Versand.Zahlung = inside(Object.fromEntries(c.payments.map(([key, fee]) => [key, Number(fee)])));
  s.groups.forEach((g, n) => {
    const gd = g.items.map(([key, price, levels]) => [key, key, price, '00', levels].join('\xa6')).join('|') + '\u2020' + g.surcharge;
    w.CreateItemList(gd, n);
  });
  for (const [key, group, q] of cart.lines) shop.Item[group][key].Menge = q;
  return w;
}

test('the shop\'s cart gives the hand-worked figures of every fixture cart', () => {
  assert.ok(fixture.carts.length >= 10);
  for (const cart of fixture.carts) {
    const w = cartWindow(cart);
    w.preis(cartForm(cart.lines.map(([key, grp, qty]) => ({ grp, key, qty }))));
    const pay = w.Q.payment({ payment: cart.payment });
    assert.ok(pay, `${cart.what}: the country offers ${cart.payment}`);
    const sent = Object.fromEntries(w.Q.orderFields('konto', {}, w.Q.cartLines(), w.Shop.Cart, pay));
    const e = cart.expected;
    const items = cart.lines.map((l, i) => sent['item' + i].split('|').slice(1));
    assert.deepEqual(items, cart.lines.map(([key, , q], i) => [key, String(q), ...e.items[i]]), `${cart.what}: item lines`);
    const sums = ['subtotal', 'qdiscount', 'pdiscount', 'total', 'vatrate', 'vat', 'shipping', 'subamount', 'paymentfee'];
    assert.deepEqual(Object.fromEntries(sums.map((k) => [k, sent[k]])), Object.fromEntries(sums.map((k) => [k, e[k]])), `${cart.what}: sums sent`);

    const k = w.Shop.Cart.Figures;
    const euros = (cents) => w.KonvDez(cents / 100);
    const shownNames = Object.keys(e.shown);
    assert.deepEqual(Object.fromEntries(shownNames.map((n) => [n, euros(k.shown[n])])), e.shown, `${cart.what}: shown`);
    assert.deepEqual([euros(k.second), euros(k.missing), euros(k.missingShown)], [e.second, e.missing, e.missingShown], `${cart.what}: second currency, missing for free delivery`);
  }
});
