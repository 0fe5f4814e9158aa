/*
 * Description of one item in one language. A page that shows several
 * descriptions (it defines Count, mCount, sPos, Target and pl) loads them one
 * after the other: each script stores its text and loads the next one.
 */
var p = parent;
[DESCRIPTION]

if (typeof Count != 'undefined' && typeof mCount != 'undefined') {
  Count++;
  if (typeof pl == 'function') pl(Count, mCount);
  var nextHit = Count < mCount ? p.Treffer[sPos + Count] : null;
  if (nextHit == null) {
    if (typeof Target != 'undefined' && Target) location.href = Target;
  } else {
    var nextKey = String(nextHit).substring(String(nextHit).indexOf('|') + 1);
    // The files are named with the key's windows-1252 bytes.
    var nextSrc = 'countries/languages/' + p.Shop.Sprache + '/descriptions/' + p.UrlEncode(nextKey).replace(/\+/g, '%20') + '.js';
    // While the page is still being parsed the chain goes on in place;
    // a page that starts it later gets a script element instead.
    if (document.readyState == 'loading') {
      document.write('<script src="' + nextSrc + '"><\/script>');
    } else {
      var nextScript = document.createElement('script');
      nextScript.src = nextSrc;
      document.getElementsByTagName('head')[0].appendChild(nextScript);
    }
  }
}
