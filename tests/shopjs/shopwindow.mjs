// The shop window's script (and, where asked, the Standard layout's helpers)
// run in a V8 context of their own, without a browser: the tests hand in the
// globals that var_init.js, the country script and the loader set up in the
// shop.

import fs from 'node:fs';
import path from 'node:path';
import vm from 'node:vm';
import { fileURLToPath } from 'node:url';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const scripts = {
  quillane: path.join(root, 'resources/shop/quillane.js'),
  layout: path.join(root, 'data/layouts/Standard/layout.js'),
};

function run(context, file) {
  vm.runInContext(fs.readFileSync(file, 'latin1'), context, { filename: file });
}

// A shop of one home country with the given items, levels and shipping.
// items: { group: { key: { Preis, Rabatt, Menge } } }; surcharges per group.
export function shopWindow({
  items = {}, surcharges = {}, priceLevels = [], porto = 0, freihaus = 0, vat = 1.19,
  rates = [1, 1], signs = ['', ''], faktor = 1, layout = false, sprache = '', land = '',
} = {}) {
  const context = vm.createContext({});
  // Built inside the context, so that the script sees its own arrays.
  vm.runInContext(`
    var window = this;
    var Words = {};
    var Faktor = 1;
    var Shop = { Item: [], ItemKeys: [], Cart: {}, EuroKurs: [1, 1], Waehrung: ['', ''],
      Home: { VAT: 1 }, Rabatt: { Menge: [], Preis: [] }, Versand: { Porto: 0, Freihaus: 0, Zahlung: {} },
      User: { Company: '' } };`, context);
  context.Faktor = faktor;
  const shop = context.Shop;
  shop.Home.VAT = vat;
  shop.Sprache = sprache;
  shop.Land = land;
  shop.EuroKurs = vm.runInContext(JSON.stringify(rates), context);
  shop.Waehrung = vm.runInContext(JSON.stringify(signs), context);
  shop.Rabatt.Preis = vm.runInContext(JSON.stringify(priceLevels), context);
  shop.Versand.Porto = porto;
  shop.Versand.Freihaus = freihaus;
  for (const [group, table] of Object.entries(items)) {
    const keys = Object.keys(table);
    shop.Item[group] = vm.runInContext(`(${JSON.stringify(Object.fromEntries(keys.map((k) => [k, {
      Name: k, Descr: '', Preis: table[k].Preis, Porto: surcharges[group] ?? 0, Rabatt: table[k].Rabatt ?? [], Menge: table[k].Menge ?? 0,
    }])))})`, context);
    shop.ItemKeys[group] = vm.runInContext(JSON.stringify(keys), context);
  }
  run(context, scripts.quillane);
  if (layout) run(context, scripts.layout);
  return context;
}

// A form as preis and hinzufuegen read it: named fields with a value, and
// the form's own name attribute.
export function stubForm(name, values) {
  const elements = {};
  for (const [k, v] of Object.entries(values)) elements[k] = { value: String(v), style: {} };
  return { elements, getAttribute: (a) => (a === 'name' ? name : null) };
}

// The cart form of the given lines [{ grp, key, qty }], with every field
// preis writes to.
export function cartForm(lines) {
  const values = { Elemente: lines.length };
  lines.forEach((l, i) => Object.assign(values, { ['Grp' + i]: l.grp, ['BNr' + i]: l.key, ['Menge' + i]: l.qty, ['Preis' + i]: '' }));
  for (const s of ['subtotal', 'qdiscount', 'pdiscount', 'total', 'vat', 'shipping', 'subamount', 'euro']) values[s] = '';
  return stubForm('cart', values);
}

// Values of a form's fields after the shop has written them.
export function fieldValues(form, names) {
  return Object.fromEntries(names.map((n) => [n, form.elements[n].value]));
}
