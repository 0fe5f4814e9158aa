/*
 * Site head: skip link, company logo and name (both link to the merchant's
 * home page). Leaves the head open: header_shop.js, which the pages always
 * include right after this one, adds the basket and the shop bar and closes it.
 */
(function () {
  var logo = '[LOGO]';
  var firma = '[FIRMA]';
  var d = document, shop = Q.S.Shop;
  // Once a page found no logo, the others do not ask for it again.
  if (shop.NoLogo) logo = '';
  d.write('<a class="skip" href="#content">' + Q.H(Q.T('skip')) + '</a>');
  d.write('<header class="site-head"><div class="wrap brand-row"><div class="brand" id="brand">' + logo + firma + '</div>');

  var brand = d.getElementById('brand');
  if (!brand) return;
  var links = brand.getElementsByTagName('a');
  for (var i = 0; i < links.length; i++) {
    var a = links[i];
    // Without a home page the links lead to the shop's start instead of
    // reloading this page in the whole window.
    if (!a.getAttribute('href')) {
      a.setAttribute('href', 'categories.html');
      a.removeAttribute('target');
    }
    var img = a.getElementsByTagName('img')[0];
    if (img) {
      // The name beside it says the same: the logo link is left out of the
      // tab order and the reading order, and goes when there is no logo.
      img.alt = '';
      img.removeAttribute('border');
      a.setAttribute('tabindex', '-1');
      a.setAttribute('aria-hidden', 'true');
      img.onerror = function () {
        this.parentNode.style.display = 'none';
        shop.NoLogo = true;
      };
    }
  }
})();
