/*
 * Shop foot: the shop's texts, the price note and the date of the catalog.
 * Opens the page foot; footer_site.js, always included right after it,
 * adds the company's address and closes it.
 */
(function () {
  var T = Q.T, H = Q.H, h = '';
  h += '<footer class="site-foot"><div class="wrap">';
  h += '<nav aria-label="' + H(T('service')) + '"><ul>';
  var texts = [['about', 'about'], ['service', 'service'], ['faq', 'faq'], ['gtclong', 'gtc'], ['impressum', 'impressum']];
  for (var i = 0; i < texts.length; i++) {
    h += '<li><a href="textbox.html?Content=' + texts[i][0] + '">' + H(T(texts[i][1])) + '</a></li>';
  }
  h += '<li><a href="contact.html">' + H(T('contact')) + '</a></li>';
  h += '</ul></nav>';
  h += '<p>' + H(T('prices') + ' ' + Q.vatNote() + '.') + (Q.stand ? ' ' + H(T('asof')) + ' ' + H(Q.stand) + '.' : '') + '</p>';
  document.write(h);
})();
