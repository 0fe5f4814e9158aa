/*
 * Look of the category menu in the merchant's colours. Loaded by the loader
 * page with the database; the menu pages read it from the shop window.
 * A style list holds: class, font weight, normal and mouse-over background,
 * indent in pixels, alignment.
 */
(function () {
  var w = window;
  try {
    while (!w.Shop && w.parent && w.parent != w) w = w.parent;
  } catch (e) {}
  if (!w.Shop) return;

  // Made by the shop window, so the lists outlive this loader page.
  w.Shop.Menu.Style.HG = new w.Array('hg', 'bold', '#[U-BC]:#[K-BC]', '4', 'left');
  w.Shop.Menu.Style.UG = new w.Array('ug', 'normal', '#[T-BC]:#[D-BC]', '16', 'left');

  // Keyboard focus gets the same highlight as the mouse.
  function highlight(style) {
    var c = String(style[2]).split(':');
    var on = 'this.style.backgroundColor=\'' + c[1] + '\'';
    var off = 'this.style.backgroundColor=\'' + c[0] + '\'';
    return 'onmouseover="' + on + '" onmouseout="' + off + '" onfocus="' + on + '" onblur="' + off + '"';
  }

  w.ActiveHG = highlight(w.Shop.Menu.Style.HG);
  w.ActiveUG = highlight(w.Shop.Menu.Style.UG);
  w.Ghoster = 'style="filter:grayscale(100%)" onmouseover="this.style.filter=\'none\'" onmouseout="this.style.filter=\'grayscale(100%)\'"';
  w.Transparency = 'style="opacity:0.5" onmouseover="this.style.opacity=1" onmouseout="this.style.opacity=0.5"';
})();
