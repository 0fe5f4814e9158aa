/*
 * Main script of the shop window. It holds no data of its own: var_init.js
 * sets up the globals, the loader fills the item tables, and the pages in the
 * frame "main" call these functions through their parent window.
 * Amounts are net euro until FormatPrice turns them into display text.
 */

// The generated data files are read as windows-1252: the byte 0xA6 arrives as
// U+00A6 and the byte 0x86 as U+2020. U+0086 is accepted too, for readers
// that decode the bytes as Latin-1.
var ItemSeparator = '\xa6';
var GroupSeparator = /[\u2020\x86]/;

// ---------------------------------------------------------------- helpers --

// Text of a stored number ("1.5", "1,5", "", undefined) as a number, 0 when
// unreadable, so that one odd value cannot turn a whole cart total into NaN.
function ToNumber(v) {
  if (typeof v == 'number') return isFinite(v) ? v : 0;
  if (v == null) return 0;
  var n = parseFloat(String(v).replace(',', '.'));
  return isNaN(n) ? 0 : n;
}

function ToCount(v) {
  var n = parseInt(String(v == null ? '' : v), 10);
  return isNaN(n) || n < 0 ? 0 : n;
}

function ShopWord(key) {
  var t = Words[String(key).toLowerCase()];
  return t == null ? '' : String(t);
}

// Code for the lang attribute of a language name as the country table and
// the language files spell it; '' for a name not listed.
var LanguageCodes = {
  balgarski: 'bg', cesky: 'cs', dansk: 'da', deutsch: 'de', eesti: 'et', ellinika: 'el', english: 'en',
  espanol: 'es', 'espa\u00f1ol': 'es', francais: 'fr', 'fran\u00e7ais': 'fr', hrvatski: 'hr', islenska: 'is',
  italiano: 'it', latviesu: 'lv', lietuviu: 'lt', magyar: 'hu', malti: 'mt', nederlands: 'nl', norsk: 'no',
  polski: 'pl', portugues: 'pt', 'portugu\u00eas': 'pt', romana: 'ro', slovenscina: 'sl', slovensky: 'sk',
  suomi: 'fi', svenska: 'sv' };

function LanguageCode(name) {
  var n = String(name == null ? '' : name).toLowerCase();
  return Object.prototype.hasOwnProperty.call(LanguageCodes, n) ? LanguageCodes[n] : '';
}

// The window of the frame (or inline frame) named "main".
function MainFrame() {
  try {
    if (window.frames['main']) return window.frames['main'];
    var f = document.getElementsByName('main');
    if (f.length && f[0].contentWindow) return f[0].contentWindow;
  } catch (e) {}
  return null;
}

function GoMain(address) {
  var m = MainFrame();
  if (m) m.location.href = address;
}

// A form's name attribute; form.name would be shadowed by a field called "name".
function FormName(form) {
  return form && form.getAttribute ? String(form.getAttribute('name') || '') : '';
}

function FormField(form, fieldName) {
  if (!form || !form.elements) return null;
  var e = form.elements[fieldName];
  if (e && !e.tagName && e.length) e = e[0];
  return e || null;
}

function FieldText(e) {
  if (!e) return '';
  return String('value' in e ? e.value : e.textContent);
}

function SetFieldText(e, t) {
  if (!e) return;
  if ('value' in e) e.value = t; else e.textContent = t;
}

function LineCount(form) {
  var e = FormField(form, 'Elemente');
  if (!e) return 1;
  var n = parseInt(FieldText(e), 10);
  return isNaN(n) ? 1 : n;
}

// The item of a form line, or null when the line names no item of the shop.
function LineItem(form, line) {
  var g = FormField(form, 'Grp' + line), b = FormField(form, 'BNr' + line);
  if (!g || !b) return null;
  var table = Shop.Item[ToCount(FieldText(g))];
  if (!table) return null;
  return table[FieldText(b)] || null;
}

function CompareText(a, b) {
  var x = String(a).toLowerCase(), y = String(b).toLowerCase();
  if (x < y) return -1;
  if (x > y) return 1;
  return a < b ? -1 : (a > b ? 1 : 0);
}

// Value of a query parameter of an address (pages read grp, bnr, page, ipp).
function QueryParam(address, key) {
  var s = String(address), q = s.indexOf('?');
  if (q < 0) return '';
  var parts = s.substring(q + 1).split('#')[0].split('&');
  for (var i = 0; i < parts.length; i++) {
    var eq = parts[i].indexOf('=');
    var k = eq < 0 ? parts[i] : parts[i].substring(0, eq);
    if (k == key) return UrlDecode(eq < 0 ? '' : parts[i].substring(eq + 1));
  }
  return '';
}

// ------------------------------------------------------------ prices ------

// Two decimals, "." as separator, halves rounded up to the next cent. The
// small relative nudge keeps amounts like 1.005, stored in binary just below
// the half, on the side a merchant would expect.
function KonvDez(value) {
  var v = ToNumber(value);
  if (v < 0) return '-' + KonvDez(-v);
  var cents = Math.floor(v * 100 * (1 + 1e-12) + 0.5);
  var s = String(cents);
  while (s.length < 3) s = '0' + s;
  return s.substring(0, s.length - 2) + '.' + s.substring(s.length - 2);
}

function FormatPrice(price, currency) {
  var c = ToCount(currency) == 1 ? 1 : 0;
  var rate = Shop.EuroKurs[c] == null ? 1 : ToNumber(Shop.EuroKurs[c]);
  var sign = Shop.Waehrung[c] == null ? '' : Shop.Waehrung[c];
  return KonvDez(ToNumber(price) * rate) + ' ' + sign;
}

// Levels are texts "threshold/rate"; the last one in list order whose
// threshold is reached counts, as the merchant ordered them.
function DiscountRate(levels, indicator) {
  var rate = 0, x = ToNumber(indicator);
  if (!levels) return 0;
  for (var i = 0; i < levels.length; i++) {
    var l = String(levels[i] == null ? '' : levels[i]), s = l.indexOf('/');
    if (s < 0) continue;
    var t = parseFloat(l.substring(0, s).replace(',', '.'));
    var r = parseFloat(l.substring(s + 1).replace(',', '.'));
    if (isNaN(t) || isNaN(r)) continue;
    if (t <= x) rate = r / 100;
  }
  return rate;
}

// ------------------------------------------------------------- money ------
// Amounts are counted in whole cents from here on: an amount the customer
// sees is rounded once, and every sum is the sum of the amounts shown, so
// that the rows of a cart add up on paper as they do on the screen.

// Whole cents of an amount already counted in cents, halves up; the nudge
// as in KonvDez.
function RoundCents(x) {
  var v = ToNumber(x);
  if (v < 0) return -RoundCents(-v);
  return Math.floor(v * (1 + 1e-12) + 0.5);
}

// A stored euro price in whole cents of the shown currency: net or gross
// (factor), at the currency's rate. Every shown unit price is this.
function PriceCents(price, factor, rate) {
  return RoundCents(ToNumber(price) * 100 * ToNumber(factor) * ToNumber(rate));
}

function CurrencyRate(currency) {
  var c = ToCount(currency) == 1 ? 1 : 0;
  return Shop.EuroKurs[c] == null ? 1 : ToNumber(Shop.EuroKurs[c]);
}

// Locale of the shown amounts: the page's language in the chosen country
// ("de-CH"); '' when the language has no code.
function MoneyLocale() {
  var code = LanguageCode(Shop.Sprache);
  if (!code) return '';
  return /^[A-Za-z]{2}$/.test(String(Shop.Land || '')) ? code + '-' + String(Shop.Land).toUpperCase() : code;
}

var MoneyFormats = {};

// An amount in cents as the customer writes it, with the sign of display
// currency 0 (or 1): "14,88 \u20ac", "\u00a362.30", "CHF 47.60". The
// country scripts hold the sign only, so the pattern comes from the locale
// and the merchant's sign goes where the locale puts one; the euro has an
// empty sign there. Without Intl: two decimals, a blank and the sign.
function FormatAmount(cents, currency) {
  var c = ToCount(currency) == 1 ? 1 : 0, v = Math.round(ToNumber(cents)) / 100 || 0;
  var sign = Shop.Waehrung[c] == null || Shop.Waehrung[c] === '' ? '\u20ac' : String(Shop.Waehrung[c]);
  var locale = MoneyLocale();
  try {
    if (locale && typeof Intl == 'object' && Intl.NumberFormat) {
      var f = MoneyFormats[locale];
      if (!f) {
        f = MoneyFormats[locale] = new Intl.NumberFormat(locale,
          { style: 'currency', currency: 'EUR', minimumFractionDigits: 2, maximumFractionDigits: 2 });
      }
      var parts = f.formatToParts(v), out = '';
      for (var i = 0; i < parts.length; i++) out += parts[i].type == 'currency' ? sign : parts[i].value;
      return out;
    }
  } catch (e) {}
  return (v < 0 ? '-' : '') + KonvDez(Math.abs(v)) + ' ' + sign;
}

// ---------------------------------------------------------------- VAT ------
// The VAT factor (1 + rate) the cart charges. By default the home rate,
// whoever buys. With VAT by destination: at home the home rate; from an EU
// home to another EU country that country's rate; any other delivery is an
// export and carries none.
function VatFactor() {
  var home = ToNumber(Shop.Home.VAT), d = Shop.Destination;
  if (!ToCount(Shop.VatByDestination) || !d || !Shop.Land) return home;
  if (String(Shop.Land).toLowerCase() == String(Shop.Home.Index).toLowerCase()) return home;
  if (ToNumber(Shop.Home.EU) >= 1 && ToNumber(d.EU) >= 1) return 1 + ToNumber(d.VAT) / 100;
  return 1;
}

// The rate used in percent, as the order sends it: "19.00", "0.00".
function VatRateText() {
  return KonvDez(Math.round((VatFactor() - 1) * 100 * 10000) / 10000);
}

// The factor a price is shown with: 1 net, the cart's VAT factor gross.
function ShownFactor() {
  return ToNumber(Faktor) != 1 ? VatFactor() : 1;
}

// The one computation of a cart: entries [{ item, q }] in line order. Gives
// its rows and sums in cents three times over:
// - Euro: the net euro figures the order sends. A line is quantity x the
//   unit price in cents; the sums re-add exactly. In gross display the VAT
//   is what the customer pays for the goods beyond their net total, so that
//   the sent amount is the amount shown.
// - Shown: in display currency 0, net or gross as Faktor says; a unit price
//   rounded once from the stored price, a line quantity x that unit, each
//   discount from the shown amounts it is taken from.
// - Second: the amount to pay in display currency 1.
// The order-value level, free delivery and the VAT follow from the euro
// figures; the other currencies show them converted.
function CartFigures(entries) {
  var gross = ToNumber(Faktor) != 1, vatFactor = VatFactor(), factor = gross ? vatFactor : 1;
  var porto = RoundCents(ToNumber(Shop.Versand.Porto) * 100), count = 0, rates = [];
  for (var i = 0; i < entries.length; i++) {
    var e = entries[i];
    rates.push(e.q > 0 ? DiscountRate(e.item.Rabatt, e.q) : 0);
    if (e.q > 0) {
      porto += RoundCents(ToNumber(e.item.Porto) * 100);   // once per line, whatever the quantity
      count += e.q;
    }
  }

  function goods(f, rate) {
    var g = { rows: [], subtotal: 0, qdiscount: 0 }, exact = 0;
    for (var i = 0; i < entries.length; i++) {
      var unit = PriceCents(entries[i].item.Preis, f, rate), line = entries[i].q * unit;
      g.rows.push({ unit: unit, line: line, discount: rates[i] });
      if (entries[i].q > 0) {
        g.subtotal += line;
        exact += line * rates[i];
      }
    }
    g.qdiscount = RoundCents(exact);
    return g;
  }

  var euro = goods(1, 1);
  var pRate = DiscountRate(Shop.Rabatt.Preis, (euro.subtotal - euro.qdiscount) / 100);
  function discounted(g) {
    g.pdiscount = RoundCents((g.subtotal - g.qdiscount) * pRate);
    g.total = g.subtotal - g.qdiscount - g.pdiscount;
    return g;
  }
  discounted(euro);
  var free = euro.total > RoundCents(ToNumber(Shop.Versand.Freihaus) * 100);
  euro.shipping = free ? 0 : porto;
  euro.vat = gross ? discounted(goods(factor, 1)).total - euro.total : RoundCents(euro.total * (vatFactor - 1));
  euro.subamount = euro.total + euro.vat + euro.shipping;

  function view(rate) {
    var g = discounted(goods(factor, rate));
    g.shipping = RoundCents(euro.shipping * rate);
    g.vat = RoundCents(euro.vat * rate);
    g.subamount = g.total + g.shipping + (gross ? 0 : g.vat);
    return g;
  }
  var shown = view(CurrencyRate(0));
  // What the net total after discounts lacks to be above the threshold.
  var missing = free || porto == 0 ? 0 : RoundCents(ToNumber(Shop.Versand.Freihaus) * 100) - euro.total + 1;
  return {
    gross: gross, count: count, vatRate: VatRateText(), porto: porto, euro: euro, shown: shown, second: view(CurrencyRate(1)).subamount,
    missing: missing, missingShown: Math.ceil(missing * factor * CurrencyRate(0) - 1e-9),
  };
}

// The lines of a form as CartFigures takes them; quantity from the form,
// else from the cart. Lines naming no item are left out.
function FormEntries(form) {
  var entries = [], lines = LineCount(form);
  for (var i = 0; i < lines; i++) {
    var item = LineItem(form, i);
    if (!item) continue;
    var mf = FormField(form, 'Menge' + i), q = 0;
    if (mf && FieldText(mf) != '') q = ToCount(FieldText(mf));
    else if (item.Menge) q = ToCount(item.Menge);
    entries.push({ item: item, q: q, line: i });
  }
  return entries;
}

// Price computation of a product form or of the cart form "cart": writes
// the shown amounts into the form and keeps the euro figures in Shop.Cart
// (Shop.Cart.Figures holds them all).
function preis(form) {
  if (!form || !form.elements) return;
  var entries = FormEntries(form), k = CartFigures(entries), s = k.shown, e = k.euro;
  for (var i = 0; i < entries.length; i++) {
    var n = entries[i].line;
    SetFieldText(FormField(form, 'Menge' + n), String(entries[i].q));
    var pf = FormField(form, 'Preis' + n);
    if (pf) {
      SetFieldText(pf, FormatAmount(s.rows[i].line));
      if (pf.style) pf.style.color = entries[i].q > 0 && s.rows[i].discount > 0 ? 'green' : 'black';
    }
  }
  SetFieldText(FormField(form, 'subtotal'), FormatAmount(s.subtotal));
  SetFieldText(FormField(form, 'qdiscount'), FormatAmount(-s.qdiscount));
  Shop.Cart.Figures = k;
  Shop.Cart.Subtotal = e.subtotal / 100;
  Shop.Cart.qDiscount = e.qdiscount / 100;
  Shop.Cart.ItemCount = k.count;
  Shop.Cart.Shipping = k.porto / 100;
  if (FormName(form) != 'cart' || e.subtotal <= 0) return;

  SetFieldText(FormField(form, 'pdiscount'), FormatAmount(-s.pdiscount));
  SetFieldText(FormField(form, 'total'), FormatAmount(s.total));
  SetFieldText(FormField(form, 'vat'), FormatAmount(s.vat));
  SetFieldText(FormField(form, 'shipping'), FormatAmount(s.shipping));
  SetFieldText(FormField(form, 'subamount'), FormatAmount(s.subamount));
  SetFieldText(FormField(form, 'euro'), FormatAmount(k.second, 1));
  Shop.Cart.Shipping = e.shipping / 100;
  Shop.Cart.Total = e.total / 100;
  Shop.Cart.pDiscount = e.pdiscount / 100;
  Shop.Cart.VAT = e.vat / 100;
  Shop.Cart.Subamount = e.subamount / 100;
}

// -------------------------------------------------------------- cart ------

function ChMenge(form, line, op) {
  var mf = FormField(form, 'Menge' + line);
  if (!mf) return;
  var q = ToCount(FieldText(mf)), changed = false;
  if (q > 0 || op == '+') {
    q = op == '+' ? q + 1 : q - 1;
    SetFieldText(mf, String(q));
    changed = true;
  }
  var reload = false;
  if (FormName(form) == 'cart') {
    hinzufuegen(form);
    reload = changed && q == 0;   // the emptied line leaves the cart page
  }
  preis(form);
  if (reload) form.ownerDocument.location.reload();
}

function hinzufuegen(form) {
  if (!form || !form.elements) return;
  var lines = LineCount(form);
  for (var i = 0; i < lines; i++) {
    var item = LineItem(form, i), mf = FormField(form, 'Menge' + i);
    if (item && mf) item.Menge = ToCount(FieldText(mf));
  }
  SaveCart();
  var doc = form.ownerDocument;
  if (doc && doc.forms['suchen']) SetFieldText(FormField(doc.forms['suchen'], 'minikorb'), RefreshCart());
}

// The cart's items as CartFigures takes them, in group and table order.
function CartEntries() {
  var entries = [];
  for (var g = 0; g < Shop.Item.length; g++) {
    var table = Shop.Item[g], keys = Shop.ItemKeys[g] || [];
    if (!table) continue;
    for (var k = 0; k < keys.length; k++) {
      var it = table[keys[k]], m = it ? ToCount(it.Menge) : 0;
      if (m > 0) entries.push({ item: it, q: m, grp: g, key: keys[k] });
    }
  }
  return entries;
}

// The basket in a few words: the goods as the cart page sums them.
function RefreshCart() {
  var entries = CartEntries(), q = 0;
  for (var i = 0; i < entries.length; i++) q += entries[i].q;
  if (q > 0) return q + ' ' + ShopWord('items') + ': ' + FormatAmount(CartFigures(entries).shown.subtotal);
  return ShopWord('cartempty');
}

// -------------------------------------------------------- item tables ------

// One database script's group data: items joined by "|", each of name, key,
// price, flags and levels joined by 0xA6; after 0x86 the group's surcharge.
function CreateItemList(gd, n) {
  var data = String(gd == null ? '' : gd), cut = -1;
  for (var c = data.length - 1; c >= 0; c--) {
    if (GroupSeparator.test(data.charAt(c))) { cut = c; break; }
  }
  var itemsPart = cut < 0 ? data : data.substring(0, cut);
  var porto = cut < 0 ? 0 : ToNumber(data.substring(cut + 1));
  var old = Shop.Item[n] || Object.create(null);
  // No prototype: item keys such as "constructor" are ordinary keys here.
  var table = Object.create(null), keys = new Array();
  var entries = itemsPart == '' ? [] : itemsPart.split('|');
  for (var i = 0; i < entries.length; i++) {
    if (entries[i] == '') continue;   // a hidden last record leaves an empty entry
    var f = entries[i].split(ItemSeparator);
    var fullName = f[0], key = f.length > 1 ? f[1] : '', flags = f.length > 3 ? f[3] : '';
    var dash = fullName.indexOf(' - ');
    var item = new Object();
    item.Name = dash < 0 ? fullName : fullName.substring(0, dash);
    item.Descr = dash < 0 ? '' : fullName.substring(dash + 3);
    item.Text = flags.charAt(0);
    item.Bild = flags.charAt(1);
    // Bild keeps one character; a page that shows every picture reads the
    // full count from Bilder.
    item.Bilder = ToCount(flags.substring(1));
    item.Preis = ToNumber(f.length > 2 ? f[2] : 0);
    item.Porto = porto;
    item.Rabatt = new Array();
    var levels = f.length > 4 ? f[4] : '';
    if (levels != '') {
      var pos = levels.split(':');
      for (var j = 0; j < pos.length; j++) {
        var level = Shop.Rabatt.Menge[parseInt(pos[j], 10)];
        if (level) item.Rabatt.push(level);
      }
    }
    // Loading the database again must not empty the cart.
    if (old[key] && old[key].Menge) item.Menge = old[key].Menge;
    else if (KeptQuantity(n, key)) item.Menge = KeptQuantity(n, key);
    // ItemKeys keeps the table order, which for-in loses for numeric keys.
    if (!(key in table)) keys.push(key);
    table[key] = item;
  }
  Shop.Item[n] = table;
  Shop.ItemKeys[n] = keys;
}

// Splits a menu text at every separator that no backslash marks as part of
// a name; the pieces keep their backslashes.
function SplitMenuText(text, separator) {
  var parts = new Array(), start = 0;
  for (var i = 0; i < text.length; i++) {
    if (text.charAt(i) == '\\') i++;
    else if (text.charAt(i) == separator) {
      parts.push(text.substring(start, i));
      start = i + 1;
    }
  }
  parts.push(text.substring(start));
  return parts;
}

// A group name of the menu text as typed.
function MenuName(text) {
  return text.replace(/\\([\s\S])/g, '$1');
}

// Menu string: main-group entries joined by 0xA6; "Main=Sub:0|Sub:1" for a
// main group with sub groups, "Main:2" for one without. Within names a
// backslash stands before "=", 0xA6 and a backslash; ":" needs none, as the
// group index follows the last ":".
function CreateMenu(menuText) {
  var parts = SplitMenuText(String(menuText == null ? '' : menuText), ItemSeparator);
  var entries = new Array();
  parts.sort(CompareText);
  for (var i = 0; i < parts.length; i++) {
    var p = parts[i];
    if (p == '') continue;
    var e = new Object(), halves = SplitMenuText(p, '=');
    if (halves.length > 1) {
      e.Caption = MenuName(halves[0]);
      e.SubGroups = new Array();
      var subs = SplitMenuText(p.substring(halves[0].length + 1), '|');
      for (var j = 0; j < subs.length; j++) {
        if (subs[j] == '') continue;
        var sc = subs[j].lastIndexOf(':');
        e.SubGroups.push(sc < 0 ? MenuName(subs[j]) : MenuName(subs[j].substring(0, sc)) + subs[j].substring(sc));
      }
      e.SubGroups.sort(CompareText);
      e.Index = -1;
    } else {
      var c = p.lastIndexOf(':');
      e.Caption = MenuName(c < 0 ? p : p.substring(0, c));
      e.SubGroups = new Array();
      e.Index = c < 0 ? -1 : parseInt(p.substring(c + 1), 10);
    }
    entries.push(e);
  }
  return entries;
}

// ------------------------------------------------------ navigation --------

// Name and items per page of a view position; an unknown position reads as
// the preview view.
function ViewParts(pos) {
  var v = Shop.Views[pos];
  if (v == null) v = Shop.Views[1];
  var t = String(v == null ? 'pro:5' : v), c = t.indexOf(':');
  return { name: c < 0 ? t : t.substring(0, c), ipp: c < 0 ? '' : t.substring(c + 1) };
}

function SelectView(pos) {
  View = ToCount(pos);
  var m = MainFrame();
  if (m && String(m.location.href).indexOf('view') >= 0) m.location.href = GotoItemPage('page=1');
}

// Net or gross display, chosen in the menu's select "Steuer".
function SelectSteuer(pos) {
  Faktor = ToCount(pos) == 0 ? 1 : Shop.Home.VAT;
  var m = MainFrame();
  if (m) m.location.reload();
}

// Sets the country and its language without loading anything yet.
function ChooseCountry(code) {
  // An unknown code (a country without its code) falls back to the first
  // country, so that the shop still loads.
  if (Land[code] == null) for (var k in Land) { code = k; break; }
  var entry = String(Land[code] == null ? '' : Land[code]), bar = entry.indexOf('|');
  Shop.Land = code;
  Shop.Sprache = bar < 0 ? '' : entry.substring(bar + 1);
}

// The home country's settings and words, run by the shop page while it is
// parsed, so that the loader frame starts with the database and not with a
// language step of its own a few round trips later.
function StartHomeCountry() {
  if (Shop.Land) return;
  ChooseCountry(Shop.Home.Index);
  var d = document;
  d.write('<script src="countries/settings/' + encodeURIComponent(Shop.Land) + '.js"><\/script>');
  d.write('<script src="' + LanguageFolder() + 'translations.js"><\/script>');
}

function SelectCountry(code) {
  ChooseCountry(code);
  var m = MainFrame();
  CurrentPage = m ? String(m.location.href) : 'preloader.html?database';
  GoMain('preloader.html?language');
}

function showcats(group) {
  Shop.Menu.OpenGroup = Shop.Menu.OpenGroup == group ? -1 : group;
  GoMain('categories.html');
}

function zurueck() {
  if (!Shop.History.length) return;
  hp = Math.max(0, Shop.History.length - 2);
  var e = Shop.History[hp];
  Shop.History.length = hp;
  if (e) suchen(e[0], e[1]);
}

function ExitShop(message) {
  if (message && !confirm(message)) return;   // "no" stays in the shop
  setBunload(false);
  ForgetCart();
  // finish.html stands outside the shop window's data: it finds its words
  // in this tab's session storage.
  try {
    sessionStorage.setItem('quillane.goodbye', JSON.stringify({
      goodbye: ShopWord('goodbye'), company: String(Shop.User.Company), language: String(Shop.Sprache) }));
  } catch (e) {}
  location.href = 'finish.html';
}

function InitMenu() {
  var m = MainFrame();
  if (!m) return;
  var doc = m.document, f = doc.forms['suchen'];
  if (f) {
    var list = FormField(f, 'CountryList');
    if (list && list.options) {
      list.options.length = 0;
      for (var code in Land) {
        var o = doc.createElement('option');
        o.text = String(Land[code]).split('|')[0];
        o.value = code;
        o.selected = code == Shop.Land;
        list.appendChild(o);
      }
    }
    var views = FormField(f, 'Ansicht');
    if (views && views.options) {
      views.options.length = 0;
      for (var i = 0; i < Shop.Views.length; i++) {
        var v = doc.createElement('option'), vn = ViewParts(i).name;
        v.text = ShopWord(vn) || vn;
        v.value = String(i);
        v.selected = i == View;
        views.appendChild(v);
      }
    }
    var tax = FormField(f, 'Steuer');
    if (tax && tax.options && tax.options.length) tax.selectedIndex = Faktor == 1 ? 0 : 1;
    SetFieldText(FormField(f, 'minikorb'), RefreshCart());
  }
  if (doc.forms.length > 1 && FormName(doc.forms[1]) != 'orderform') preis(doc.forms[1]);
}

// Address of the item page for a parameter text such as "page=2". The key
// goes URL-encoded into the address; pages read it back with QueryParam.
function GotoItemPage(param) {
  var p = String(param == null ? '' : param);
  if (Treffer.length == 1) {
    var hit = String(Treffer[0]), bar = hit.indexOf('|');
    p = 'grp=' + hit.substring(0, bar) + '&bnr=' + UrlEncode(hit.substring(bar + 1));
  }
  if (p.indexOf('&') < 0) {
    var v = ViewParts(View);
    var page = v.name == 'dtl' ? 'description.html' : 'view_' + v.name + '.html';
    return page + '?ipp=' + v.ipp + '&' + p;
  }
  return 'description.html?' + p;
}

// A text search (no title) or the items of one group (title given).
function suchen(what, title) {
  FindHits(what, title);
  GoMain(Treffer.length ? GotoItemPage('page=1') : 'textbox.html?Content=search');
}

// The hits of suchen without showing them. ListSource remembers what was
// looked for, so that a list page brought back later can list it again.
function FindHits(what, title) {
  Treffer = new Array();
  var g, k, keys;
  if (title == null) {
    var query = String(what == null ? '' : what);
    var terms = query.toLowerCase().split(' ');
    for (g = 0; g < Shop.ItemKeys.length; g++) {
      keys = Shop.ItemKeys[g];
      if (!keys) continue;
      for (k = 0; k < keys.length; k++) {
        var it = Shop.Item[g][keys[k]];
        var hay = (it.Name + '|' + it.Descr + '|' + keys[k]).toLowerCase();
        var found = true;
        for (var t = 0; t < terms.length && found; t++) found = hay.indexOf(terms[t]) >= 0;
        if (found) Treffer.push(g + '|' + keys[k]);
      }
    }
    Headline = 'Die Suche nach "' + query + '" ergab ' + Treffer.length + ' Treffer!';
    Shop.ListSource = { search: query };
  } else {
    g = ToCount(what);
    keys = Shop.ItemKeys[g] || [];
    for (k = 0; k < keys.length; k++) Treffer.push(g + '|' + keys[k]);
    Headline = String(title).toUpperCase();
    Shop.ListSource = { group: g, title: String(title) };
  }
}

// ---------------------------------------------------------- kept cart ----

// The basket is kept in the tab's session storage too: a reload, or a phone
// bringing back a tab it had discarded, finds it again. It never outlives
// the tab, so the next customer at a shared computer starts empty.
var CartStore = 'quillane.cart';
var KeptCart = null;

function SaveCart() {
  var lines = new Array();
  for (var g = 0; g < Shop.Item.length; g++) {
    var table = Shop.Item[g];
    if (!table) continue;
    for (var k in table) if (ToCount(table[k].Menge) > 0) lines.push([g, k, ToCount(table[k].Menge)]);
  }
  try {
    if (lines.length) sessionStorage.setItem(CartStore, JSON.stringify(lines));
    else sessionStorage.removeItem(CartStore);
  } catch (e) {}
}

function ForgetCart() {
  try { sessionStorage.removeItem(CartStore); } catch (e) {}
}

// Kept quantity of an item of a group, 0 when none. An item the shop no
// longer has under that group is simply not found again.
function KeptQuantity(group, key) {
  if (KeptCart == null) {
    KeptCart = Object.create(null);
    try {
      var lines = JSON.parse(sessionStorage.getItem(CartStore) || '[]');
      for (var i = 0; i < lines.length; i++) KeptCart[lines[i][0] + '|' + lines[i][1]] = ToCount(lines[i][2]);
    } catch (e) {}
  }
  return KeptCart[group + '|' + key] || 0;
}

// ----------------------------------------------------------- addresses ----

// The shop window's address names what the frame "main" shows, so that it
// can be bookmarked and shared: "#item=K1" (with "&group=3" where the key
// stands in more than one group), "#group=3", "#search=tea", "&page=2" on
// later pages of a list, "#cart", "#contact". Opened with such an address,
// the shop goes there once the loader has filled the item tables.
var LinkTarget = typeof location == 'undefined' ? '' : String(location.hash).replace(/^#/, '');

function LinkParam(hash, key) {
  var parts = String(hash).split('&');
  for (var i = 0; i < parts.length; i++) {
    var eq = parts[i].indexOf('=');
    if ((eq < 0 ? parts[i] : parts[i].substring(0, eq)) != key) continue;
    var v = eq < 0 ? '' : parts[i].substring(eq + 1).replace(/\+/g, ' ');
    try { return decodeURIComponent(v); } catch (e) { return UrlDecode(v); }   // windows-1252 escapes
  }
  return null;
}

function LinkText(text) {
  return encodeURIComponent(String(text)).replace(/%20/g, '+');
}

// The caption of a group index in the menu, '' when the menu has none.
function GroupTitle(group) {
  var entries = Shop.Menu.Entries;
  for (var i = 0; i < entries.length; i++) {
    if (entries[i].Index == group) return entries[i].Caption;
    for (var j = 0; j < entries[i].SubGroups.length; j++) {
      var s = String(entries[i].SubGroups[j]), c = s.lastIndexOf(':');
      if (parseInt(s.substring(c + 1), 10) == group) return s.substring(0, c);
    }
  }
  return '';
}

// Makes the hits of a list source (group or search) the current ones, with
// the headings the pages show for them.
function ListAgain(source) {
  if (source.group != null) {
    if (!Shop.ItemKeys[source.group]) return false;
    var title = source.title != null ? source.title : GroupTitle(source.group) || String(source.group);
    FindHits(source.group, title);
    Shop.SearchQuery = null;
    Shop.BrowseTitle = title;
  } else {
    FindHits(source.search);
    Shop.SearchQuery = source.search;
    Shop.LastSearch = source.search;
  }
  return true;
}

// The frame address an address's hash names, '' for none the shop knows.
function LinkAddress(hash) {
  var key = LinkParam(hash, 'item'), group = LinkParam(hash, 'group'), search = LinkParam(hash, 'search');
  var page = Math.max(1, ToCount(LinkParam(hash, 'page')));
  if (key != null) {
    var g = group != null && Shop.Item[ToCount(group)] && Shop.Item[ToCount(group)][key] ? ToCount(group) : -1;
    for (var i = 0; g < 0 && i < Shop.Item.length; i++) if (Shop.Item[i] && Shop.Item[i][key]) g = i;
    return g < 0 ? '' : 'description.html?grp=' + g + '&bnr=' + UrlEncode(key);
  }
  if (group != null || search != null) {
    var source = group != null ? { group: ToCount(group) } : { search: search };
    if (!ListAgain(source)) return '';
    return Treffer.length ? GotoItemPage('page=' + page) : 'textbox.html?Content=search';
  }
  if (LinkParam(hash, 'cart') != null) return 'cart.html';
  if (LinkParam(hash, 'contact') != null) return 'contact.html';
  var t = LinkParam(hash, 'text');
  // Only the names of the shop's texts, never a path.
  return t && /^\w+$/.test(t) ? 'textbox.html?Content=' + t : '';
}

// The hash that names a page of the frame, '' for the shop's start and the
// order steps.
function PageHash(win) {
  var href = String(win.location.href), file = String(win.location.pathname).split('/').pop();
  var key = QueryParam(href, 'bnr'), group = QueryParam(href, 'grp');
  if (file == 'description.html' && key != '') {
    var h = 'item=' + LinkText(key), first = -1;
    for (var i = 0; first < 0 && i < Shop.Item.length; i++) if (Shop.Item[i] && Shop.Item[i][key]) first = i;
    return first == ToCount(group) ? h : h + '&group=' + ToCount(group);
  }
  if (IsListPage(win) && Shop.ListSource) {
    var src = Shop.ListSource, page = ToCount(QueryParam(href, 'page'));
    var list = src.group != null ? 'group=' + src.group : 'search=' + LinkText(src.search);
    return page > 1 ? list + '&page=' + page : list;
  }
  if (file == 'cart.html') return 'cart';
  if (file == 'contact.html') return 'contact';
  var content = QueryParam(href, 'Content');
  if (file == 'textbox.html' && content != '' && content != 'search') return 'text=' + LinkText(content);
  return '';
}

function IsListPage(win) {
  var href = String(win.location.href), file = String(win.location.pathname).split('/').pop();
  return /^view_/.test(file) || (file == 'description.html' && QueryParam(href, 'bnr') == '' && QueryParam(href, 'ipp') != '');
}

function SameList(a, b) {
  return !!a && !!b && a.group === b.group && a.search === b.search;
}

// Called by every page of the frame as it starts. A link the shop was opened
// with is followed from the first categories page (instead of it); a list
// page that Back brought back lists again what it listed then, which its
// history entry remembers. Then the shop window's address names the page.
// Returns false when the frame goes on to another page.
function PageShown(win) {
  if (!win || !win.location) return true;
  var file = String(win.location.pathname).split('/').pop();
  if (LinkTarget && file == 'categories.html') {
    var address = LinkAddress(LinkTarget);
    LinkTarget = '';
    if (address) {
      win.location.replace(address);
      return false;
    }
  }
  if (IsListPage(win)) {
    var kept = null;
    try { kept = win.history.state; } catch (e) {}
    if (kept && kept.list && !SameList(kept.list, Shop.ListSource)) ListAgain(kept.list);
    else try { win.history.replaceState({ list: Shop.ListSource || null }, ''); } catch (e) {}
  }
  var hash = PageHash(win);
  try { history.replaceState(history.state, '', hash ? '#' + hash : location.pathname + location.search); } catch (e) {}
  return true;
}

// ---------------------------------------------------------- item files ----

// An item's picture and description files in an address. The generator
// names them after the key with "/" and "\" turned into "_" and a key "." or
// ".." given a leading "_", in windows-1252 bytes; blanks stay blanks.
function ItemFile(key) {
  var name = String(key == null ? '' : key).replace(/[\/\\]/g, '_');
  if (name == '.' || name == '..') name = '_' + name;
  return UrlEncode(name).replace(/\+/g, '%20');
}

// Address of a shop language's folder (the current language when none is
// given). Its name is windows-1252 bytes on the disk as well, so it goes
// into the address the same way as an item file's name.
function LanguageFolder(language) {
  var name = String(language == null ? Shop.Sprache : language);
  return 'countries/languages/' + UrlEncode(name).replace(/\+/g, '%20') + '/';
}

function DescriptionScript(key) {
  return LanguageFolder() + 'descriptions/' + ItemFile(key) + '.js';
}

// The description chain of a list page, which defines Count, mCount, sPos,
// Target and pl: once a description script has run, or failed to load, the
// next hit's script follows, or Target opens after the last one. A missing
// script thus costs its own text only, not those of the items after it.
function DescriptionDone(page) {
  page.Count++;
  if (typeof page.pl == 'function') page.pl(page.Count, page.mCount);
  var hit = page.Count < page.mCount ? Treffer[page.sPos + page.Count] : null;
  if (hit == null) {
    if (page.Target) page.location.href = page.Target;
    return;
  }
  hit = String(hit);
  var src = DescriptionScript(hit.substring(hit.indexOf('|') + 1)), doc = page.document;
  // While the page is still being parsed the chain goes on in place; a page
  // that starts it later gets a script element instead.
  if (doc.readyState == 'loading') {
    doc.write('<script src="' + src + '" onerror="parent.DescriptionDone(window)"><\/script>');
  } else {
    var s = doc.createElement('script');
    s.src = src;
    s.onerror = function () { DescriptionDone(page); };
    doc.getElementsByTagName('head')[0].appendChild(s);
  }
}

// ---------------------------------------------------------- order data ----

// Byte values 0x80 to 0x9F of windows-1252, the pages' and the program's
// character set; the order side decodes the same way the program's UrlEncode
// encodes: kept characters, blank as "+", every other byte as %XX.
var Cp1252High = [
  0x20ac, 0x81, 0x201a, 0x192, 0x201e, 0x2026, 0x2020, 0x2021,
  0x2c6, 0x2030, 0x160, 0x2039, 0x152, 0x8d, 0x17d, 0x8f,
  0x90, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
  0x2dc, 0x2122, 0x161, 0x203a, 0x153, 0x9d, 0x17e, 0x178];

function UrlEncode(text) {
  var s = String(text == null ? '' : text), out = '';
  for (var i = 0; i < s.length; i++) {
    var ch = s.charAt(i), code = s.charCodeAt(i);
    if (/[A-Za-z0-9!$'()*\-.@_]/.test(ch)) { out += ch; continue; }
    if (ch == ' ') { out += '+'; continue; }
    var b = code;
    if (code > 0xff || (code >= 0x80 && code <= 0x9f)) {
      b = 0x3f;   // "?" for what windows-1252 cannot hold
      for (var j = 0; j < Cp1252High.length; j++) if (Cp1252High[j] == code) { b = 0x80 + j; break; }
    }
    out += '%' + (b < 16 ? '0' : '') + b.toString(16).toUpperCase();
  }
  return out;
}

function UrlDecode(text) {
  var s = String(text == null ? '' : text), out = '';
  for (var i = 0; i < s.length; i++) {
    var ch = s.charAt(i);
    if (ch == '+') { out += ' '; continue; }
    if (ch == '%' && /^[0-9A-Fa-f]{2}$/.test(s.substring(i + 1, i + 3))) {
      var b = parseInt(s.substring(i + 1, i + 3), 16);
      out += String.fromCharCode(b >= 0x80 && b <= 0x9f ? Cp1252High[b - 0x80] : b);
      i += 2;
      continue;
    }
    out += ch;
  }
  return out;
}

// Scrambles (and, applied again, unscrambles) order data: every character of
// the alphabet moves 35 places on, half its length, so one function does both.
// Hand it URL-encoded text so that "+" and "%" in the value survive.
var CryptAlphabet = '0123456789AaBbCcDdEeFfGgHhIiJjKkLlMmNnOoPpQqRrSsTtUuVvWwXxYyZz.,:;()/|';

function Crypt(text) {
  var s = UrlDecode(text), out = '', n = CryptAlphabet.length;
  for (var i = 0; i < s.length; i++) {
    var p = CryptAlphabet.indexOf(s.charAt(i));
    out += p < 0 ? s.charAt(i) : CryptAlphabet.charAt((p + 35) % n);
  }
  return UrlEncode(out);
}
