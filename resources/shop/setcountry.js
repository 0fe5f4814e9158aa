/*
 * Settings of one destination country: base shipping cost, payment types and
 * the two display currencies. The loader page runs it when the customer picks
 * the country; everything it sets lives in the shop window.
 */
(function (w) {
  var s = w.Shop;

  function amount(v) {
    var n = parseFloat(String(v).replace(',', '.'));
    return isNaN(n) ? 0 : n;
  }

  // A rate that cannot be read counts as 1 rather than showing every price as 0.
  function rate(v) {
    var n = amount(v);
    return n > 0 ? n : 1;
  }

  s.Versand.Porto = amount(s.Versand.Verpackung) + amount('[SHIPPINGFEE]');

  // Made by the shop window, so the list outlives this loader page.
  s.Versand.Zahlung = new w.Object();
[SHIPPING]

  // What the cart needs to charge this country's VAT.
  s.Destination = new w.Object();
  s.Destination.VAT = amount('[COUNTRYVAT]');
  s.Destination.EU = amount('[EUCOUNTRY]');
  s.Destination.Name = '[COUNTRYNAME]';

  // Currency 0 shows every price, currency 1 is the second one of the total.
  if (amount('[EUCOUNTRY]') < 1) {
    s.EuroKurs[0] = rate('[EURORATE]');
    s.Waehrung[0] = '[CURRENCY]';
    if (amount(s.Home.EU) < 1) {
      s.EuroKurs[1] = rate(s.Home.EuroRate);
      s.Waehrung[1] = s.Home.Currency;
    } else {
      s.EuroKurs[1] = 1;
      s.Waehrung[1] = '';
    }
  } else {
    s.EuroKurs[0] = 1;
    s.Waehrung[0] = '';
    s.EuroKurs[1] = rate('[EURORATE]');
    s.Waehrung[1] = '[CURRENCY]';
  }
})(parent);
