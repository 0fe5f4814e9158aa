// An order from the cart to the order service: the address form, the check
// page and the one request that hands the order over. The test service
// unscrambles every field on its own; what it read must be what was typed
// and what the cart computed.

import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import {
  catalog, expectedCart, formFields, launchBrowser, main, money, navigateMain, openShop, ordersUrl, screenshot, waitForMain, words,
} from './shop.mjs';

let browser;

before(async () => {
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
});

async function received() {
  return (await fetch(ordersUrl + 'orders.json')).json();
}

const customer = {
  firstname: 'Jörg',
  lastname: 'Müller-Lüdenscheidt',
  company: 'Tee & Co. (Nord) 100%',
  street: 'Am Deich 7/9',
  zip: '24103',
  city: 'Kiel',
  email: 'joerg+tee@example.org',
  phone: '+49 431 555-77',
  fax: '',
};
const delivery = {
  la_firstname: 'Ada',
  la_lastname: 'Øster',
  la_company: '',
  la_street: 'Kai 1; Hinterhaus',
  la_zip: '24937',
  la_city: 'Flensburg',
  la_email: '',
  la_phone: '',
  la_fax: '',
};
const notes = 'Bitte klingeln: 2x | "Danke"!';

test('an order reaches the service with every field as typed and computed', async () => {
  const page = await openShop(browser);
  const home = catalog.country(catalog.home);
  const de = words(home.language);
  const lines = [{ key: 'T100', qty: 12 }, { key: 'Z300', qty: 1 }];
  await page.evaluate((ls) => {
    for (const l of ls) for (const t of window.Shop.Item) if (t && t[l.key]) t[l.key].Menge = l.qty;
  }, lines);
  const cartLink = main(page).getByRole('navigation').getByRole('link', { name: de.cart, exact: true });
  let frame = await navigateMain(page, () => cartLink.click(), /\/cart\.html$/);
  frame = await navigateMain(page, () => frame.getByRole('button', { name: de.checkout }).click(), /order_address\.html/);

  const form = frame.locator('form[name="orderform"]');
  for (const [name, value] of Object.entries(customer)) await form.locator(`[name="${name}"]`).fill(value);
  await form.locator('[name="other"]').check();
  for (const [name, value] of Object.entries(delivery)) await form.locator(`[name="${name}"]`).fill(value);
  await form.locator('[name="notes"]').fill(notes);
  // Cash on delivery, which costs the country's fee.
  await form.locator('input[name="payment"][value="nn"]').check();
  await screenshot(page, '10-order-address');
  frame = await navigateMain(page, () => form.getByRole('button', { name: de.next }).click(), /order_verification\.html/);
  await screenshot(page, '11-order-check');

  const before = (await received()).orders.length;
  const send = frame.locator('form[name="orderform"]');
  await send.locator('[name="privacy"]').check();
  await send.getByRole('button', { name: de.sendorder }).click();
  await waitForMain(page, /\/(queue|finish)\.html/);
  await screenshot(page, '12-order-sent');
  const { orders } = await received();
  assert.equal(orders.length, before + 1, 'one request per order');
  const got = orders.at(-1);
  assert.match(got.contentType, /^application\/x-www-form-urlencoded/);

  const cart = expectedCart(lines, home.name).numbers;
  const items = {};
  lines.forEach((l, i) => {
    const it = catalog.item(l.key);
    items['item' + i] = `${it.fullName}|${it.key}|${l.qty}|${money(it.price)}|${money(l.qty * it.price)}`;
  });
  assert.deepEqual(got.fields, {
    // The fixture's account name holds a backslash and a quote.
    UserID: catalog.userId,
    ...customer,
    country: home.nativeName,
    ...delivery,
    la_country: home.nativeName,
    notes,
    itemcount: String(lines.length),
    ...items,
    subtotal: money(cart.subtotal),
    qdiscount: money(cart.qDiscount),
    pdiscount: money(cart.pDiscount),
    total: money(cart.total),
    vat: money(cart.vat),
    vatrate: money(catalog.country(catalog.home).vatPercent),
    shipping: money(cart.shipping),
    subamount: money(cart.subamount),
    paymentfee: money(home.codFee),
    payment: 'nn',
  });
  // The same sums worked out by hand: 54.00 less 5 % and 24.00; 75.30 × 19 %
  // = 14.307; shipping 2.50 + 4.90 + 3.00; 75.30 × 1.19 + 10.40 = 100.007.
  assert.deepEqual(
    ['subtotal', 'qdiscount', 'pdiscount', 'total', 'vat', 'shipping', 'subamount'].map((k) => got.fields[k]),
    ['78.00', '2.70', '0.00', '75.30', '14.31', '10.40', '100.01'],
  );
  // Scrambled on the way: no typed text travels as it is.
  assert.ok(!Object.values(got.raw).some((v) => v.includes('Kiel') || v.includes('Deich')));
  // The cart is empty once the order is in.
  const mini = await main(page).evaluate(() => document.forms['suchen']?.elements['minikorb']?.value ?? window.parent.RefreshCart());
  assert.equal(mini, de.cartempty);
  assert.deepEqual(page.scriptErrors, []);
  await page.context().close();
});

test('a service that fails keeps the cart and lets the customer send again', async () => {
  const page = await openShop(browser);
  const de = words(catalog.country(catalog.home).language);
  await page.evaluate(() => { window.Shop.Item[0].T101.Menge = 3; });
  await page.evaluate(() => Object.assign(window.Shop.Kunde = {}, {
    firstname: 'Ida', lastname: 'Berg', street: 'Weg 2', zip: '10115', city: 'Berlin', email: 'ida@example.org', other: false,
  }));
  let frame = await navigateMain(page, () => page.evaluate(() => { window.frames['main'].location.href = 'order_address.html'; }), /order_address\.html/);
  const form = frame.locator('form[name="orderform"]');
  frame = await navigateMain(page, () => form.getByRole('button', { name: de.next }).click(), /order_verification\.html/);

  await fetch(ordersUrl + 'fail?count=1', { method: 'POST' });
  const before = await received();
  const send = frame.locator('form[name="orderform"]');
  await send.locator('[name="privacy"]').check();
  await send.getByRole('button', { name: de.sendorder }).click();
  await frame.getByRole('alert').filter({ hasText: /\S/ }).waitFor();
  const after1 = await received();
  assert.equal(after1.refused, before.refused + 1);
  assert.equal(after1.orders.length, before.orders.length);
  assert.match(main(page).url(), /order_verification\.html/, 'no finish step without the service');
  assert.equal(await page.evaluate(() => window.Shop.Item[0].T101.Menge), 3, 'the cart is kept');

  await send.getByRole('button').filter({ hasText: /\S/ }).last().click();
  await waitForMain(page, /\/(queue|finish)\.html/);
  const after2 = await received();
  assert.equal(after2.orders.length, before.orders.length + 1);
  assert.equal(after2.orders.at(-1).fields.item0.split('|')[1], 'T101');
  assert.equal(after2.orders.at(-1).fields.firstname, 'Ida');
  await page.context().close();
});

test('a country switched on the check page goes into the order, with a payment method it offers', async () => {
  const home = catalog.country(catalog.home);
  const abroad = catalog.countries.find((c) => c.name !== home.name && c.payments.length);
  const dropped = home.payments.find((k) => !abroad.payments.includes(k));
  const kept = home.payments.find((k) => abroad.payments.includes(k));
  assert.ok(dropped && kept, 'the fixture has a payment method offered only at home and one offered in both');
  const [de, en] = [words(home.language), words(abroad.language)];
  const lines = [{ key: 'T101', qty: 2 }];
  // Without a delivery address the billing country follows the switch; with
  // one, the delivery country does and the billing country stays as typed.
  for (const { other, payment } of [{ other: false, payment: dropped }, { other: true, payment: kept }]) {
    const page = await openShop(browser);
    await page.evaluate((ls) => {
      for (const l of ls) for (const t of window.Shop.Item) if (t && t[l.key]) t[l.key].Menge = l.qty;
    }, lines);
    let frame = await navigateMain(page, () => page.evaluate(() => { window.frames['main'].location.href = 'order_address.html'; }), /order_address\.html/);
    let form = frame.locator('form[name="orderform"]');
    for (const [name, value] of Object.entries(customer)) await form.locator(`[name="${name}"]`).fill(value);
    if (other) {
      await form.locator('[name="other"]').check();
      for (const [name, value] of Object.entries(delivery)) await form.locator(`[name="${name}"]`).fill(value);
    }
    await form.locator(`input[name="payment"][value="${payment}"]`).check();
    frame = await navigateMain(page, () => form.getByRole('button', { name: de.next }).click(), /order_verification\.html/);

    const countryList = frame.getByLabel(de.selectcountry, { exact: true });
    if (abroad.payments.includes(payment)) {
      frame = await navigateMain(page, () => countryList.selectOption(abroad.code), /order_verification\.html/);
    } else {
      // Back to the address page, at the payment methods, none of them chosen.
      frame = await navigateMain(page, () => countryList.selectOption(abroad.code), /order_address\.html/);
      form = frame.locator('form[name="orderform"]');
      assert.equal(await frame.evaluate(() => document.activeElement.id), 'paygroup');
      assert.deepEqual(await form.locator('input[name="payment"]').evaluateAll((r) => r.map((e) => e.value)), abroad.payments);
      assert.equal(await form.locator('input[name="payment"]:checked').count(), 0);
      assert.ok((await frame.locator('#err-payment').innerText()).trim(), 'a visible request to choose again');
      assert.deepEqual(await formFields(frame, 'orderform', ['lastname', 'country']), { lastname: customer.lastname, country: abroad.nativeName });
      await screenshot(page, '13-order-payment-again');
      await form.locator(`input[name="payment"][value="${abroad.payments[0]}"]`).check();
      frame = await navigateMain(page, () => form.getByRole('button', { name: en.next }).click(), /order_verification\.html/);
    }
    const send = frame.locator('form[name="orderform"]');
    await send.locator('[name="privacy"]').check();
    await send.getByRole('button', { name: en.sendorder }).click();
    await waitForMain(page, /\/(queue|finish)\.html/);

    const got = (await received()).orders.at(-1).fields;
    const chosen = abroad.payments.includes(payment) ? payment : abroad.payments[0];
    assert.equal(got.lastname, customer.lastname);
    assert.equal(got.country, other ? home.nativeName : abroad.nativeName);
    assert.equal(got.la_country, other ? abroad.nativeName : undefined);
    assert.equal(got.payment, chosen);
    assert.equal(got.paymentfee, money(chosen === 'nn' ? abroad.codFee : 0));
    assert.equal(got.shipping, money(expectedCart(lines, abroad.name).numbers.shipping));
    assert.deepEqual(page.scriptErrors, []);
    await page.context().close();
  }
});
