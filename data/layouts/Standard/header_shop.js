/*
 * Shop head: the basket, the shop navigation, the search and the settings
 * (country, view, net or gross prices). The form "suchen" carries the fields
 * that the shop window's InitMenu fills: CountryList, Ansicht, Steuer and
 * minikorb (the basket summary, tied to the form by its form attribute).
 */
Q.stand = '[STAND]';
(function () {
  var d = document, T = Q.T, H = Q.H;
  var page = String(location.pathname).split('/').pop();
  function current(name) {
    return page == name ? ' aria-current="page"' : '';
  }
  var h = '';
  h += '<a class="minicart" href="cart.html"' + current('cart.html') + '>';
  h += '<svg width="22" height="22" viewBox="0 0 24 24" aria-hidden="true" focusable="false"><path fill="currentColor" d="M7 18a2 2 0 1 0 0 4 2 2 0 0 0 0-4zm10 0a2 2 0 1 0 0 4 2 2 0 0 0 0-4zM5.2 4l.6 3H21l-2 8H7.4l-.2-1L5.6 6 5 3H2V1h4.6l.6 3z"/></svg>';
  h += '<span>' + H(T('cart')) + '</span> <output name="minikorb" form="suchen" aria-live="off"></output></a>';
  h += '</div>';   // closes the brand row of header_site.js

  h += '<div class="shop-bar"><div class="wrap bar">';
  h += '<nav class="mainnav" aria-label="' + H(T('mainnav')) + '"><ul>';
  h += '<li><a href="categories.html"' + current('categories.html') + '>' + H(T('categories')) + '</a></li>';
  h += '<li><a href="cart.html"' + current('cart.html') + '>' + H(T('cart')) + '</a></li>';
  h += '<li><a href="contact.html"' + current('contact.html') + '>' + H(T('contact')) + '</a></li>';
  h += '</ul></nav>';

  h += '<form name="suchen" id="suchen" action="#" onsubmit="return Q.search(this)">';
  h += '<div class="searchbox" role="search"><div class="field"><label for="q">' + H(T('searchterm')) + '</label>';
  h += '<input type="search" id="q" name="q" autocomplete="off" enterkeyhint="search"></div>';
  h += '<button type="submit" class="primary">' + H(T('search')) + '</button></div>';

  // On a phone the settings fold away behind their summary; wider screens
  // show them open and hide the summary.
  var wide = !window.matchMedia || window.matchMedia('(min-width: 40.01rem)').matches;
  h += '<details class="settings-box" id="settings"' + (wide ? ' open' : '') + '><summary>' + H(T('settings')) + '</summary>';
  h += '<fieldset class="settings"><legend class="visually-hidden">' + H(T('settings')) + '</legend>';
  h += '<div class="field"><label for="CountryList">' + H(T('selectcountry')) + '</label>';
  h += '<select id="CountryList" name="CountryList" onchange="Q.S.SelectCountry(this.value)"></select></div>';
  h += '<div class="field"><label for="Ansicht">' + H(T('view')) + '</label>';
  h += '<select id="Ansicht" name="Ansicht" onchange="Q.changeView(this.value)"></select></div>';
  h += '<div class="field"><label for="Steuer">' + H(T('prices')) + '</label>';
  h += '<select id="Steuer" name="Steuer" onchange="Q.S.SelectSteuer(this.selectedIndex)">';
  h += '<option value="0">' + H(T('net')) + '</option><option value="1">' + H(T('gross')) + '</option></select></div>';
  h += '</fieldset></details></form>';
  h += '</div></div></header>';
  d.write(h);
})();
