/*
 * Global data of the shop window: the merchant's settings as the generator
 * wrote them, and the state of the customer's visit (country, words, hits,
 * cart). The shop page loads it before quillane.js.
 * Values stored as typed by the merchant are read through parseFloat, so a
 * stray comma or an empty value cannot stop the whole shop.
 */

var Shop = new Object();

Shop.Item = new Array();
Shop.ItemKeys = new Array();
Shop.Cart = { Subtotal: 0, qDiscount: 0, Shipping: 0, ItemCount: 0, Total: 0, pDiscount: 0, VAT: 0, Subamount: 0 };
Shop.History = new Array();
Shop.EuroKurs = [1, 1];
Shop.Waehrung = ['', ''];
Shop.Views = ['[DTL]', '[PRO]', '[STD]'];
Shop.AltCur = true;

// Base address of the order service the order pages send to.
Shop.OrderService = '[ORDERSERVICE]';

Shop.Home = new Object();
Shop.Home.Index = '[HOME_INDEX]';
Shop.Home.Currency = '[HOME_CURRENCY]';
Shop.Home.VAT = parseFloat('[HOME_VAT]') || 1;
Shop.Home.EuroRate = parseFloat('[HOME_EURORATE]'.replace(',', '.')) || 1;
Shop.Home.EU = parseInt('[HOME_EUCOUNTRY]', 10) || 0;
// 1: VAT of the delivery country within the EU, none for exports (see
// VatFactor); 0: the home rate everywhere.
Shop.VatByDestination = parseInt('[VATDEST]', 10) || 0;
// The delivery country's VAT in percent, its EU flag and own name (set by
// the country script).
Shop.Destination = { VAT: 0, EU: 0, Name: '' };

Shop.User = new Object();
Shop.User.Company = '[COMPANY]';
Shop.User.Name = '[NAME]';
Shop.User.Street = '[STREET]';
Shop.User.ZIP = '[ZIP]';
Shop.User.City = '[CITY]';
Shop.User.Country = '[COUNTRY]';
Shop.User.EMail = '[EMAIL]';
Shop.User.Phone = '[PHONE]';
Shop.User.Fax = '[FAX]';
Shop.User.Mobil = '[MOBIL]';

Shop.Menu = new Object();
Shop.Menu.Entries = new Array();
Shop.Menu.Style = new Object();
Shop.Menu.Style.HG = new Array();
Shop.Menu.Style.UG = new Array();
Shop.Menu.OpenGroup = -1;

// One text per level, "quantity/rate" and "amount/rate"; items refer to the
// quantity levels by position.
var mrabatt = [MRABATT].split('|');
var prabatt = [PRABATT].split('|');
Shop.Rabatt = new Object();
Shop.Rabatt.Menge = mrabatt;
Shop.Rabatt.Preis = prabatt;

Shop.Versand = new Object();
Shop.Versand.Freihaus = parseFloat('[FREIHAUS]'.replace(',', '.')) || 0;
Shop.Versand.Verpackung = parseFloat('[VERPACKUNG]'.replace(',', '.')) || 0;
Shop.Versand.Porto = Shop.Versand.Verpackung;
Shop.Versand.Zahlung = new Object();
Shop.Versand.Anschrift = '';

Shop.Rechnung = new Object();
Shop.Rechnung.Bank = '[BANK]';
Shop.Rechnung.BLZ = '[BLZ]';
Shop.Rechnung.KTO = '[KTO]';
Shop.Rechnung.StNr = '[STNR]';
Shop.Rechnung.UstID = '[USTID]';
Shop.Rechnung.IBAN = '[IBAN]';
Shop.Rechnung.BIC = '[BIC]';
Shop.Rechnung.Steuer = '[STEUER]';
Shop.Rechnung.Anschrift = '';

Shop.Land = '';
Shop.Sprache = '';

// Country code to own name and shop language, "Name|language".
var Land = new Object();
[LAENDER]

var Words = new Object();
var Treffer = new Array();
var text = new Object();
var Headline = '';
var CurrentPage = '';
var View = [ANSICHT];
var Faktor = [FAKTOR];
var xxl = [XXL];
var dbsize = [DBSIZE];
var dbscripts = [DBSCRIPTS];   // database scripts, db_0.js onwards
var hp = 0;

var ShopBase = String(location.href);
var DestPage = '';
if (ShopBase.indexOf('?') >= 0) {
  DestPage = ShopBase.substring(ShopBase.indexOf('?') + 1);
  ShopBase = ShopBase.substring(0, ShopBase.indexOf('?'));
}

// Leaving the shop window loses the cart, so the customer is asked first.
function unloadMess() {
  return Words['exitwarning'] == null ? '' : String(Words['exitwarning']);
}

function setBunload(on) {
  window.onbeforeunload = on ? function (e) {
    var message = unloadMess();
    if (e) {
      e.preventDefault();
      e.returnValue = message;
    }
    return message;
  } : null;
}

setBunload(true);
