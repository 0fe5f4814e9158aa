/*
 * Standard layout: helpers shared by the pages shown in the frame "main".
 * The shop's data and functions live in the shop window (parent); these
 * helpers only read them, format them and build the page's markup.
 *
 * Words: every visible word comes from the shop window's table Words, which
 * the loader fills from the language file. Words that older language files
 * lack fall back to the German or English text below, so a page never shows
 * an empty button.
 */
var Q = (function () {
  var S = null;   // the shop window
  try {
    var w = window;
    while (!w.Shop && w.parent && w.parent != w) w = w.parent;
    if (w.Shop) S = w;
  } catch (e) {}
  // Before the page reads the hits: a list brought back by Back lists again
  // what it showed, and the shop window's address follows the page.
  if (S && S.PageShown) S.PageShown(window);
  else if (!S) alone();

  // Opened on its own: the shop needs its frame page, which then shows the
  // item this address names.
  function alone() {
    var grp = /[?&]grp=(\d+)/.exec(location.search), bnr = /[?&]bnr=([^&#]*)/.exec(location.search);
    location.replace('index.html' + (grp && bnr ? '#item=' + bnr[1] + '&group=' + grp[1] : ''));
  }

  var fallback = {
    de: {
      skip: 'Zum Inhalt springen', mainnav: 'Shop-Navigation', searchterm: 'Suchbegriff',
      prices: 'Preise', settings: 'Einstellungen', searchresults: 'Suchergebnis f\u00fcr', hits: 'Treffer',
      unitprice: 'Einzelpreis', remove: 'Entfernen', increase: 'Menge erh\u00f6hen',
      decrease: 'Menge verringern', inbasket: 'Im Warenkorb', cartupdated: 'Warenkorb aktualisiert',
      itemremoved: 'Artikel entfernt', continueshopping: 'Weiter einkaufen', from: 'ab', pcs: 'St\u00fcck',
      picture: 'Bild', enlarge: 'Vergr\u00f6\u00dfern', newwindow: '\u00f6ffnet in neuem Fenster',
      otheraddress: 'Lieferung an eine andere Anschrift',
      fillin: 'Bitte f\u00fcllen Sie dieses Feld aus.',
      bademail: 'Bitte geben Sie eine g\u00fcltige E-Mail-Adresse ein.',
      checkentries: 'Bitte pr\u00fcfen Sie Ihre Angaben:', optional: 'freiwillig',
      privacyconsent: 'Ich habe die Datenschutzhinweise gelesen und bin einverstanden, dass meine Angaben zur Abwicklung der Bestellung verarbeitet werden.',
      privacyrequired: 'Bitte stimmen Sie der Verarbeitung Ihrer Angaben zu.',
      verify: 'Bestellung pr\u00fcfen', edit: '\u00c4ndern', sending: 'Ihre Bestellung wird gesendet \u2026',
      ordererror: 'Ihre Bestellung konnte nicht gesendet werden. Ihr Warenkorb bleibt erhalten \u2013 bitte versuchen Sie es noch einmal.',
      tryagain: 'Erneut senden', ordersent: 'Ihre Bestellung ist bei uns eingegangen.',
      transfer: 'Bitte \u00fcberweisen Sie den Betrag auf dieses Konto:',
      nopayment: 'F\u00fcr dieses Land ist keine Zahlungsart eingerichtet. Wir melden uns nach Ihrer Bestellung bei Ihnen.',
      choosepayment: 'Bitte w\u00e4hlen Sie eine Zahlungsart f\u00fcr dieses Lieferland.',
      leave: 'Shop verlassen', asof: 'Stand', notext: 'Dieser Text ist noch nicht verf\u00fcgbar.',
      pages: 'Seiten', prevpage: 'Vorherige Seite', nextpage: 'N\u00e4chste Seite', equals: 'entspricht',
      address: 'Anschrift', done: 'Fertig', steps: 'Bestellschritte', faxto: 'Bitte senden Sie dieses Formular per Fax an',
      signature: 'Datum, Unterschrift', directions: 'So finden Sie uns', writeus: 'Schreiben Sie uns',
      goods: 'Warenwert', valuediscount: 'Bestellwertrabatt', topay: 'Zu zahlender Betrag',
      freemissing: 'Noch %s bis zur versandkostenfreien Lieferung',
      totalgross: 'Warenwert nach Rabatten', countryhint: 'Das Lieferland w\u00e4hlen Sie oben unter \u201eLand w\u00e4hlen\u201c.', itemlist: 'Artikel\u00fcbersicht',
    },
    en: {
      skip: 'Skip to content', mainnav: 'Shop navigation', searchterm: 'Search term',
      prices: 'Prices', settings: 'Settings', searchresults: 'Search results for', hits: 'hits',
      unitprice: 'Unit price', remove: 'Remove', increase: 'Increase quantity',
      decrease: 'Decrease quantity', inbasket: 'In basket', cartupdated: 'Basket updated',
      itemremoved: 'Item removed', continueshopping: 'Continue shopping', from: 'from', pcs: 'pcs.',
      picture: 'Picture', enlarge: 'Enlarge', newwindow: 'opens in a new window',
      otheraddress: 'Deliver to a different address',
      fillin: 'Please fill in this field.', bademail: 'Please enter a valid e-mail address.',
      checkentries: 'Please check your entries:', optional: 'optional',
      privacyconsent: 'I have read the privacy notice and agree that my details are processed to handle my order.',
      privacyrequired: 'Please agree to the processing of your details.',
      verify: 'Check your order', edit: 'Change', sending: 'Sending your order \u2026',
      ordererror: 'Your order could not be sent. Your basket has been kept \u2013 please try again.',
      tryagain: 'Try again', ordersent: 'We have received your order.',
      transfer: 'Please transfer the amount to this account:',
      nopayment: 'No payment method is set up for this country. We will contact you after your order.',
      choosepayment: 'Please choose a payment method for this delivery country.',
      leave: 'Leave shop', asof: 'Catalogue as of', notext: 'This text is not available yet.',
      pages: 'Pages', prevpage: 'Previous page', nextpage: 'Next page', equals: 'equals',
      address: 'Address', done: 'Done', steps: 'Order steps', faxto: 'Please fax this form to',
      signature: 'Date, signature', directions: 'How to find us', writeus: 'Write to us',
      goods: 'Goods', valuediscount: 'Order value discount', topay: 'Amount to pay',
      freemissing: '%s more for free delivery',
      totalgross: 'Goods after discounts', countryhint: 'Choose the delivery country at the top under \u201cSelect country\u201d.', itemlist: 'Items',
    }
  };

  function language() {
    return S && S.Shop ? String(S.Shop.Sprache || '').toLowerCase() : '';
  }

  // Text of a word: the shop's word, else the built-in one, else the key.
  function T(key) {
    key = String(key).toLowerCase();
    var t = S && S.Words ? S.Words[key] : null;
    if (t != null && t !== '') return String(t);
    var f = fallback[language() == 'deutsch' ? 'de' : 'en'][key];
    return f == null ? '' : f;
  }

  function H(text) {
    return String(text == null ? '' : text).replace(/&/g, '&amp;').replace(/</g, '&lt;')
      .replace(/>/g, '&gt;').replace(/"/g, '&quot;').replace(/'/g, '&#39;');
  }

  // Writes a word into the page where the script stands, escaped.
  function W(key, option) {
    var t = T(key);
    if (option == 'uc') t = t.toUpperCase();
    else if (option == 'lc') t = t.toLowerCase();
    document.write(H(t));
  }

  // Currency sign of a display currency; the euro stands with an empty sign
  // in the country scripts, the pages show it as "\u20ac".
  function sign(c) {
    var s = S.Shop.Waehrung[c];
    return s == null || s === '' ? '\u20ac' : String(s);
  }

  // A euro amount (a fee) in display currency 0 (or 1), rounded once and
  // written as the customer writes amounts.
  function money(amount, c) {
    c = c == 1 ? 1 : 0;
    return S.FormatAmount(feeCents(amount, c), c);
  }

  function feeCents(amount, c) {
    return S.PriceCents(amount, 1, S.CurrencyRate(c));
  }

  // Shown unit price of a stored net price: net or gross as the customer
  // chose; the cart multiplies exactly this by the quantity.
  function price(net) {
    return S.FormatAmount(S.PriceCents(net, S.ShownFactor(), S.CurrencyRate(0)), 0);
  }

  // Net or gross, and with VAT by destination the rate and the country it
  // is charged for ("inkl. MwSt. 20 % (France)"), or that an export is
  // tax-free.
  function vatNote() {
    var vat = (S.Faktor == 1 ? T('exclvat') : T('inclvat'));
    if (S.Shop.VatByDestination == 1) {
      vat = S.VatFactor() == 1 ? T('taxfree') : vat + ' ' + vatRate() + (S.Shop.Destination.Name ? ' (' + S.Shop.Destination.Name + ')' : '');
    }
    return vat + ', ' + T('plusshipping');
  }

  function param(key) {
    return S.QueryParam(String(location.href), key);
  }

  function item(grp, key) {
    var t = S.Shop.Item[grp];
    return t ? t[key] || null : null;
  }

  function fullName(it) {
    return it.Descr ? it.Name + ' - ' + it.Descr : it.Name;
  }

  function pictureCount(it) {
    return it.Bilder || parseInt(it.Bild, 10) || 0;
  }

  function announce(message) {
    var r = document.getElementById('announce');
    if (!r) return;
    // Emptied first so that the same message is read again.
    r.textContent = '';
    setTimeout(function () { r.textContent = message; }, 60);
  }

  // Quantity levels of an item as readable text: "from 5 pcs. 3 %".
  function levelsText(it) {
    var out = [];
    for (var i = 0; i < it.Rabatt.length; i++) {
      var p = String(it.Rabatt[i]).split('/');
      if (p.length == 2) out.push(T('from') + ' ' + p[0] + ' ' + T('pcs') + ': \u2212' + p[1] + ' %');
    }
    return out.join(', ');
  }

  // ------------------------------------------------------------ contrast --
  // The merchant picks the colours; a pair that would be hard to read is
  // darkened or lightened (keeping its hue) until it reaches 4.5:1.
  function rgb(hex) {
    var m = /#?([0-9a-f]{6})/i.exec(String(hex));
    if (!m) return null;
    var n = parseInt(m[1], 16);
    return [(n >> 16) & 255, (n >> 8) & 255, n & 255];
  }

  function toHex(c) {
    var s = '#';
    for (var i = 0; i < 3; i++) s += ('0' + Math.round(c[i]).toString(16)).slice(-2);
    return s;
  }

  function luminance(c) {
    var l = [];
    for (var i = 0; i < 3; i++) {
      var v = c[i] / 255;
      l.push(v <= 0.04045 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4));
    }
    return 0.2126 * l[0] + 0.7152 * l[1] + 0.0722 * l[2];
  }

  function contrast(a, b) {
    var x = luminance(a), y = luminance(b);
    return (Math.max(x, y) + 0.05) / (Math.min(x, y) + 0.05);
  }

  function mix(c, target, t) {
    return [c[0] + (target[0] - c[0]) * t, c[1] + (target[1] - c[1]) * t, c[2] + (target[2] - c[2]) * t];
  }

  // Foreground readable on the background, as close to the wish as possible.
  function readable(fg, bg, ratio) {
    if (contrast(fg, bg) >= ratio) return fg;
    var toward = luminance(bg) > 0.18 ? [0, 0, 0] : [255, 255, 255];
    for (var t = 0.05; t <= 1.0001; t += 0.05) {
      var c = mix(fg, toward, t);
      if (contrast(c, bg) >= ratio) return c;
    }
    return toward;
  }

  function guardColours() {
    var root = document.documentElement, cs = getComputedStyle(root);
    function get(name) { return rgb(cs.getPropertyValue(name)); }
    function set(name, c) { root.style.setProperty(name, toHex(c)); }
    // Running text aims higher than the minimum so that it does not look
    // washed out; heads and headings are short and large.
    var pairs = [['--d-fc', '--d-bc', 7], ['--k-fc', '--k-bc', 4.5], ['--u-fc', '--u-bc', 4.5], ['--t-fc', '--t-bc', 7]];
    for (var i = 0; i < pairs.length; i++) {
      var fg = get(pairs[i][0]), bg = get(pairs[i][1]);
      if (fg && bg) set(pairs[i][0], readable(fg, bg, pairs[i][2]));
    }
    var link = get('--v-fc'), page = get('--d-bc'), table = get('--t-bc'), head = get('--k-bc');
    if (link && page && table) {
      // Links stand on the page and in the white boxes alike.
      var l = readable(readable(link, table, 4.5), page, 4.5);
      set('--link', l);
      // Buttons: the link colour as background, text white where it reads,
      // otherwise a darker shade of the colour.
      var white = [255, 255, 255], black = [0, 0, 0], btn = link;
      if (contrast(white, btn) < 4.5) {
        if (luminance(btn) > 0.45 && contrast(black, btn) >= 4.5) {
          root.style.setProperty('--btn-fc', '#000000');
        } else {
          btn = readable(btn, white, 4.5);
        }
      }
      set('--btn-bc', btn);
      // The focus ring must stand out from the page and the boxes (3:1).
      var ring = readable(readable(link, page, 3), table, 3);
      set('--focus', ring);
    }
    if (head) root.style.setProperty('--focus-head', luminance(head) > 0.18 ? '#000000' : '#ffffff');
    if (table && luminance(table) < 0.18) root.className += ' dark-table';
  }

  // ---------------------------------------------------------- page frame --
  function setup(titleKey, titleText) {
    if (!S) return false;   // on its way to the shop's frame page
    var code = S.LanguageCode(language());
    if (code) document.documentElement.lang = code;
    var title = titleText != null ? titleText : T(titleKey);
    var company = S.Shop.User.Company;
    document.title = title ? title + ' \u2013 ' + company : company;
    try { S.document.title = document.title; } catch (e) {}
    guardColours();
    return true;
  }

  // Called at the end of each page: fills the header's form and tells the
  // customer what the last action did.
  function ready() {
    if (!S) return;
    S.InitMenu();
    var f = document.forms['suchen'];
    if (f && S.Shop.LastSearch != null && f.elements['q']) f.elements['q'].value = S.Shop.LastSearch;
    if (S.Shop.Notice) {
      announce(S.Shop.Notice);
      S.Shop.Notice = '';
    }
    if (S.Shop.FocusAfterLoad) {
      var e = document.getElementById(S.Shop.FocusAfterLoad);
      S.Shop.FocusAfterLoad = '';
      if (e) e.focus();
    }
  }

  function search(form) {
    var q = String(form.elements['q'].value);
    S.Shop.LastSearch = q;
    S.Shop.SearchQuery = q;
    if (q.replace(/\s+/g, '') == '') {
      location.href = 'textbox.html?Content=search';
      return false;
    }
    S.suchen(q);
    return false;
  }


  function changeView(pos) {
    S.SelectView(pos);
    // SelectView turns only the view pages; a detail list turns as well.
    if (/description\.html\?ipp=/.test(String(location.href))) location.href = S.GotoItemPage('page=1');
  }

  // ---------------------------------------------------------------- cart --
  // Total quantity in the cart and a sentence for the live region.
  function cartSentence() {
    var t = S.RefreshCart();
    return T('cartupdated') + ': ' + t;
  }

  // "Add to basket" on a product form (one line, number 0): the wanted
  // quantity is added to what the cart already holds.
  function add(form) {
    var f = form.elements['Menge0'], it = item(form.elements['Grp0'].value, form.elements['BNr0'].value);
    if (!f || !it) return false;
    var want = parseInt(f.value, 10);
    if (isNaN(want) || want < 1) want = 1;
    var had = parseInt(it.Menge, 10) || 0;
    f.value = String(had + want);
    S.hinzufuegen(form);
    f.value = '1';
    var note = form.querySelector('.incart');
    if (note) note.textContent = T('inbasket') + ': ' + it.Menge;
    announce(it.Name + ': ' + T('inbasket') + ' ' + it.Menge + '. ' + cartSentence());
    return false;
  }

  function step(form, by) {
    var f = form.elements['Menge0'];
    var q = parseInt(f.value, 10);
    if (isNaN(q)) q = 1;
    q = Math.max(1, q + by);
    f.value = String(q);
    return false;
  }

  // The add-to-cart block of a product: quantity with its steppers and the
  // button. uid makes the field ids unique on the page.
  function buyForm(grp, key, it, uid) {
    var id = 'qty' + uid;
    var h = '<form class="buy" name="item' + uid + '" action="#" onsubmit="return Q.add(this)">';
    h += '<input type="hidden" name="Elemente" value="1">';
    h += '<input type="hidden" name="Grp0" value="' + H(grp) + '">';
    h += '<input type="hidden" name="BNr0" value="' + H(key) + '">';
    h += '<div class="qty"><label for="' + id + '">' + H(T('quantity')) + '</label>';
    h += '<span class="stepper"><button type="button" class="step" onclick="return Q.step(this.form,-1)" aria-label="' + H(T('decrease') + ': ' + it.Name) + '">\u2212</button>';
    h += '<input id="' + id + '" name="Menge0" type="number" inputmode="numeric" min="1" step="1" value="1">';
    h += '<button type="button" class="step" onclick="return Q.step(this.form,1)" aria-label="' + H(T('increase') + ': ' + it.Name) + '">+</button></span></div>';
    h += '<button type="submit" class="primary" aria-describedby="name' + uid + '">' + H(T('addtocart')) + '</button>';
    var m = parseInt(it.Menge, 10) || 0;
    h += '<p class="incart">' + (m > 0 ? H(T('inbasket') + ': ' + m) : '') + '</p>';
    h += '</form>';
    return h;
  }

  // ----------------------------------------------------------- pictures --
  function pictureUrl(size, key, n) {
    return 'pictures/' + size + '/' + S.ItemFile(key) + (n ? '_' + n : '') + '.jpg';
  }

  // Every size but the extra large also exists at twice its size, which
  // screens with more pixels than points show instead.
  function srcset(size, key, n) {
    return pictureUrl(size + '_2x', key, n) + ' 2x';
  }

  // The biggest picture there is, opened by a tap on the large one.
  function biggest(key, n) {
    return S.xxl ? pictureUrl('xxl', key, n) : pictureUrl('large_2x', key, n);
  }

  // Small and medium pictures have fixed boxes; the picture is fitted in.
  function thumb(size, key, it, box) {
    if (!pictureCount(it)) return '<span class="nopic" style="width:' + box + 'px;height:' + box + 'px" aria-hidden="true"></span>';
    return '<img class="thumb" src="' + pictureUrl(size, key) + '" srcset="' + srcset(size, key) + '" width="' + box + '" height="' + box + '" alt="' + H(it.Name) +
      '" loading="lazy" onerror="this.className=\'thumb broken\';this.alt=\'\'">';
  }

  // Large pictures: their size is known once loaded; width and height are
  // then set so the page keeps its place while the others load.
  function sized(img) {
    if (img.naturalWidth) {
      img.width = img.naturalWidth;
      img.height = img.naturalHeight;
    }
  }

  // ---------------------------------------------------------- item lists --
  // The hits of the current page of a list: ipp and page come from the
  // address that GotoItemPage made.
  function hits() {
    var ipp = parseInt(param('ipp'), 10);
    if (!(ipp > 0)) ipp = 10;
    var total = S.Treffer.length;
    var pages = Math.max(1, Math.ceil(total / ipp));
    var page = parseInt(param('page'), 10);
    if (!(page >= 1)) page = 1;
    if (page > pages) page = pages;
    var first = (page - 1) * ipp, list = [];
    for (var i = first; i < total && i < first + ipp; i++) {
      var hit = String(S.Treffer[i]), bar = hit.indexOf('|');
      var grp = hit.substring(0, bar), key = hit.substring(bar + 1), it = item(grp, key);
      if (it) list.push({ grp: grp, key: key, item: it, pos: i });
    }
    return { ipp: ipp, page: page, pages: pages, first: first, total: total, list: list };
  }

  // Heading of the hit list in the customer's language. The shop window's
  // Headline is German for searches and upper case for groups; the words
  // the customer typed or the group's own spelling read better.
  function headline() {
    var h = String(S.Headline || ''), n = S.Treffer.length, sh = S.Shop;
    if (sh.SearchQuery != null && h == 'Die Suche nach "' + sh.SearchQuery + '" ergab ' + n + ' Treffer!') {
      return T('searchresults') + ' \u201e' + sh.SearchQuery + '\u201c';
    }
    if (sh.BrowseTitle != null && h == String(sh.BrowseTitle).toUpperCase()) return String(sh.BrowseTitle);
    return h;
  }

  function countText(L) {
    var last = Math.min(L.first + L.ipp, L.total);
    if (L.total == 0) return '0 ' + T('hits');
    return (L.first + 1) + '\u2013' + last + ' ' + T('of') + ' ' + L.total + ' ' + T('items');
  }

  // Page links: pages.js writes two cells into the row it stands in.
  function pager(L) {
    if (L.pages < 2) return;
    window.page = L.page;
    window.pages = L.pages;
    document.write('<nav class="pager" aria-label="' + H(T('pages')) + '"><table role="presentation"><tr>' +
      '<script src="pages.js"><\/script></tr></table></nav>');
  }

  function browse(group, title) {
    S.Shop.SearchQuery = null;
    S.Shop.BrowseTitle = title;
    S.suchen(group, title);
    return false;
  }

  // Gallery of the detail view: a thumbnail shows its picture large.
  function show(uid, n, button) {
    var key = button.getAttribute('data-key');
    var img = document.getElementById('large' + uid);
    if (img) {
      img.removeAttribute('width');
      img.removeAttribute('height');
      img.srcset = srcset('large', key, n);
      img.src = pictureUrl('large', key, n);
    }
    var zoom = document.getElementById('zoom' + uid);
    if (zoom) zoom.href = biggest(key, n);
    var x = document.getElementById('xxl' + uid);
    if (x) x.href = biggest(key, n);
    var all = button.parentNode.parentNode.getElementsByTagName('button');
    for (var i = 0; i < all.length; i++) all[i].setAttribute('aria-pressed', String(all[i] == button));
  }

  // ----------------------------------------------------------- the order --
  // Where the customer is in the order: basket, address, check, done.
  function steps(current) {
    var names = ['cart', 'address', 'verify', 'done'], h = '<ol class="steps" aria-label="' + H(T('steps')) + '">';
    for (var i = 0; i < names.length; i++) {
      h += '<li' + (i == current ? ' aria-current="step"' : '') + '>' + H(T(names[i])) + '</li>';
    }
    return h + '</ol>';
  }

  // The cart lines: every item with a quantity, in group and table order.
  function cartLines() {
    var out = [];
    for (var g = 0; g < S.Shop.ItemKeys.length; g++) {
      var keys = S.Shop.ItemKeys[g] || [];
      for (var k = 0; k < keys.length; k++) {
        var it = S.Shop.Item[g][keys[k]];
        if (it && (parseInt(it.Menge, 10) || 0) > 0) out.push({ grp: String(g), key: keys[k], item: it });
      }
    }
    return out;
  }

  // The fields of an order as the order service reads them, in the order
  // they are sent, as plain text before scrambling: the account, the
  // customer K, the cart lines, the cart as preis left it (its euro figures)
  // and the chosen payment method (null for none). The lines and sums are
  // the euro amounts the shown ones were made from, so they re-add exactly.
  function orderFields(account, K, lines, c, pay) {
    var out = [];
    function put(name, plain) {
      out.push([name, String(plain == null ? '' : plain)]);
    }
    put('UserID', account);
    var fields = ['firstname', 'lastname', 'company', 'street', 'zip', 'city', 'country', 'phone', 'fax', 'email'];
    for (var f = 0; f < fields.length; f++) put(fields[f], K[fields[f]]);
    if (K.other) {
      var la = ['company', 'firstname', 'lastname', 'street', 'zip', 'city', 'country', 'phone', 'fax', 'email'];
      for (var g = 0; g < la.length; g++) put('la_' + la[g], K['la_' + la[g]]);
    }
    put('notes', K.notes);
    put('itemcount', lines.length);
    for (var n = 0; n < lines.length; n++) {
      var it = lines[n].item, q = parseInt(it.Menge, 10) || 0, unit = S.PriceCents(it.Preis, 1, 1);
      // "|" separates the fields of an item line.
      put('item' + n, [fullName(it).replace(/\|/g, '/'), lines[n].key, q, euros(unit), euros(q * unit)].join('|'));
    }
    var e = c.Figures.euro;
    put('subtotal', euros(e.subtotal));
    put('qdiscount', euros(e.qdiscount));
    put('pdiscount', euros(e.pdiscount));
    put('total', euros(e.total));
    put('vat', euros(e.vat));
    // The rate the cart charged, in percent: the invoice shows it.
    put('vatrate', c.Figures.vatRate);
    put('shipping', euros(e.shipping));
    put('subamount', euros(e.subamount));
    put('paymentfee', euros(pay ? S.PriceCents(pay.fee, 1, 1) : 0));
    put('payment', pay ? pay.key : '');
    return out;
  }

  // The payment reference of a sent order: the order ID the service's
  // answer names ("orderid=..." on a line of its own), else one made from
  // the time of sending and the customer's name, in the characters every
  // bank takes ("20261210-1045 Mueller").
  function orderReference(answer, when, name) {
    var m = /(^|\n)orderid=([A-Za-z0-9_-]+)\s*(\n|$)/.exec(String(answer || ''));
    if (m) return m[2];
    var two = function (n) { return (n < 10 ? '0' : '') + n; };
    var stamp = when.getFullYear() + two(when.getMonth() + 1) + two(when.getDate()) + '-' + two(when.getHours()) + two(when.getMinutes());
    var plain = String(name || '').replace(/\u00c4/g, 'Ae').replace(/\u00d6/g, 'Oe').replace(/\u00dc/g, 'Ue')
      .replace(/\u00e4/g, 'ae').replace(/\u00f6/g, 'oe').replace(/\u00fc/g, 'ue').replace(/\u00df/g, 'ss');
    if (plain.normalize) plain = plain.normalize('NFD');
    plain = plain.replace(/[^A-Za-z0-9 .,'+:?()\/-]/g, '').replace(/\s+/g, ' ').trim();
    return (stamp + (plain ? ' ' + plain : '')).substring(0, 140);
  }

  function euros(cents) {
    return S.KonvDez(cents / 100);
  }

  // The amount to pay as shown: the cart's amount and the payment fee, both
  // in display currency 0 as the page shows them.
  function toPay(pay) {
    var k = S.Shop.Cart.Figures;
    return S.FormatAmount((k ? k.shown.subamount : 0) + (pay ? feeCents(pay.fee, 0) : 0), 0);
  }

  function vatRate() {
    return Math.round((S.VatFactor() - 1) * 1000) / 10 + ' %';
  }

  // Rows of the sums under a cart table, filled by the shop's preis. Each
  // label names its figure; with a payment fee still to come (fee true) the
  // cart's amount is a subtotal, else it is the amount to pay.
  function sumRows(cols, fee) {
    var gross = S.Faktor != 1, h = '';
    function row(name, label, cls) {
      return '<tr id="row-' + name + '"' + (cls ? ' class="' + cls + '"' : '') + '><th scope="row" colspan="' + (cols - 1) + '">' + H(label) +
        '</th><td class="num"><output name="' + name + '" aria-live="off"></output></td></tr>';
    }
    h += row('subtotal', T('goods') + ' (' + T(gross ? 'gross' : 'net') + ')');
    h += row('qdiscount', T('qdiscount'));
    h += row('pdiscount', T('valuediscount'));
    h += row('total', gross ? T('totalgross') + ' (' + T('gross') + ')' : T('total'));
    h += row('vat', (gross ? T('inclvat') : T('excl') + ' ' + T('vat')) + ' ' + vatRate());
    h += row('shipping', T('shipping'));
    h += row('subamount', fee ? T('subamount') : T('topay'), fee ? '' : 'grand');
    h += row('euro', T('equals'), 'second');
    return h;
  }

  // Hides the sums that say nothing: no discount, a second currency equal
  // to the first.
  function tidySums() {
    var c = S.Shop.Cart;
    function hide(name, yes) {
      var r = document.getElementById('row-' + name);
      if (r) r.hidden = !!yes;
    }
    hide('qdiscount', !(c.qDiscount > 0));
    hide('pdiscount', !(c.pDiscount > 0));
    hide('euro', S.Shop.EuroKurs[0] == S.Shop.EuroKurs[1] && sign(0) == sign(1));
    // How much the net total lacks for free delivery, in the shown currency.
    var hint = document.getElementById('freehint'), k = c.Figures;
    if (hint) {
      hint.hidden = !(k && k.missing > 0);
      hint.textContent = hint.hidden ? '' : T('freemissing').replace('%s', S.FormatAmount(k.missingShown, 0));
    }
  }

  function totalText() {
    var f = document.forms['cart'];
    var t = f && f.elements['subamount'] ? f.elements['subamount'].value : '';
    return t ? T('topay') + ': ' + t : '';
  }

  // Quantity steps and changes in the cart form: the shop's ChMenge and
  // hinzufuegen keep cart and sums right; an emptied line reloads the page.
  function cartStep(button, line, op) {
    var f = button.form, m = f.elements['Menge' + line];
    var it = item(f.elements['Grp' + line].value, f.elements['BNr' + line].value);
    var before = parseInt(m.value, 10) || 0;
    if (op == '-' && before <= 1) {
      S.Shop.Notice = T('itemremoved') + ': ' + it.Name;
      S.Shop.FocusAfterLoad = 'carthead';
    }
    S.ChMenge(f, line, op);
    tidySums();
    announce(it.Name + ': ' + m.value + '. ' + totalText());
    return false;
  }

  function cartSet(field, line) {
    var f = field.form, it = item(f.elements['Grp' + line].value, f.elements['BNr' + line].value);
    var q = parseInt(field.value, 10);
    if (isNaN(q) || q < 0) q = 0;
    field.value = String(q);
    S.hinzufuegen(f);
    if (q == 0) {
      S.Shop.Notice = T('itemremoved') + ': ' + it.Name;
      S.Shop.FocusAfterLoad = 'carthead';
      location.reload();
      return;
    }
    S.preis(f);
    tidySums();
    announce(it.Name + ': ' + q + '. ' + totalText());
  }

  function cartRemove(button, line) {
    var f = button.form;
    f.elements['Menge' + line].value = '0';
    cartSet(f.elements['Menge' + line], line);
    return false;
  }

  // A foreground colour readable on a background, both "#rrggbb".
  function readableHex(fg, bg) {
    var f = rgb(fg), b = rgb(bg);
    return f && b ? toHex(readable(f, b, 4.5)) : fg;
  }

  // The order data the customer typed, kept in the shop window until the
  // order is sent (never stored in the browser beyond this visit). The goods
  // go to the country chosen in the shop's head, which the customer may
  // switch at any step: the delivery country always follows it.
  function customer() {
    if (!S.Shop.Kunde) S.Shop.Kunde = { other: false };
    var K = S.Shop.Kunde;
    if (K.other) K.la_country = countryName(); else K.country = countryName();
    return K;
  }

  // Payment methods of the chosen country: key word and fee in euro.
  function payments() {
    var z = S.Shop.Versand.Zahlung || {}, out = [];
    for (var k in z) out.push({ key: k, fee: parseFloat(z[k]) || 0 });
    return out;
  }

  // The customer's payment method with its fee, or null when the chosen
  // country does not offer it (or none was chosen).
  function payment(K) {
    var all = payments();
    for (var i = 0; i < all.length; i++) if (K.payment && all[i].key == K.payment) return all[i];
    return null;
  }

  function countryName() {
    var e = S.Land[S.Shop.Land];
    return e == null ? '' : String(e).split('|')[0];
  }

  return {
    readableHex: readableHex, customer: customer, payments: payments, payment: payment, countryName: countryName,
    orderFields: orderFields,
    guard: guardColours, lines: cartLines, language: language,
    steps: steps, cartLines: cartLines, sumRows: sumRows, tidySums: tidySums, cartStep: cartStep,
    cartSet: cartSet, cartRemove: cartRemove, toPay: toPay, vatRate: vatRate, orderReference: orderReference,
    show: show, hits: hits, headline: headline, countText: countText, pager: pager,
    S: S, T: T, H: H, W: W, sign: sign, money: money, price: price, vatNote: vatNote, param: param,
    item: item, fullName: fullName, pictureCount: pictureCount, announce: announce,
    levelsText: levelsText, setup: setup, ready: ready, search: search, browse: browse,
    changeView: changeView, cartSentence: cartSentence, add: add, step: step, buyForm: buyForm,
    pictureUrl: pictureUrl, srcset: srcset, biggest: biggest, thumb: thumb, sized: sized, contrast: contrast, rgb: rgb
  };
})();
