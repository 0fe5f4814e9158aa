/*
 * Words of the customer's language for the pages in the shop's frames:
 * Word('cart', 'uc') writes "BASKET" into the page where it stands.
 */
var Words = (function () {
  try {
    var w = window;
    while (!w.Shop && w.parent && w.parent != w) w = w.parent;
    if (w.Words) return w.Words;
  } catch (e) {}
  return new Object();
})();

// Options: "uc" upper case, "lc" lower case, "br" in parentheses,
// "ls" with a blank before, "ts" with a blank after.
function Word(wordName, option) {
  var t = Words[String(wordName).toLowerCase()];
  t = t == null ? '' : String(t);
  switch (option) {
    case 'uc': t = t.toUpperCase(); break;
    case 'lc': t = t.toLowerCase(); break;
    case 'br': t = '(' + t + ')'; break;
    case 'ls': t = ' ' + t; break;
    case 'ts': t = t + ' '; break;
  }
  document.write(t);
}
