/*
 * Words and menu of one shop language. The loader page runs it after the
 * country's settings script; it then returns to the page the customer was on.
 */
(function (w) {
  var wordList = '[WORDS]';
  var menuText = '[MENU]';

  w.Shop.Menu.Entries = w.CreateMenu(menuText);

  // Filled in place: pages that already hold the table see the new language.
  var table = w.Words, key;
  for (key in table) delete table[key];
  var entries = wordList.split('|');
  for (var i = 0; i < entries.length; i++) {
    var pair = entries[i].split('=');
    if (pair[0] == '') continue;
    table[pair[0].toLowerCase()] = pair.length > 1 ? pair[1] : '';
  }
})(parent);

// Run by the shop page itself at the start, it has nowhere to return to.
if (window != parent) location.href = parent.CurrentPage || 'preloader.html?database';
