/*
 * Page links of an item list. The list page defines page (the current page
 * number) and pages (their number) and includes this script inside a table
 * row: one cell with the links, one with "Page x of y".
 */
(function () {
  var w = window;
  try {
    while (!w.Shop && w.parent && w.parent != w) w = w.parent;
  } catch (e) {}

  function word(key) {
    var t = w.Words ? w.Words[key] : null;
    return t == null ? '' : String(t);
  }

  function attr(t) {
    return String(t).replace(/&/g, '&amp;').replace(/"/g, '&quot;');
  }

  function link(n, label, rel) {
    return '<a href="' + attr(w.GotoItemPage('page=' + n)) + '"' + (rel ? ' rel="' + rel + '"' : '') + '>' + label + '</a>';
  }

  var current = parseInt(page, 10) || 1;
  var last = parseInt(pages, 10) || 1;
  var h = '<td colspan="3" class="pagelinks">';
  h += current > 1 ? link(current - 1, '&lt;&lt;', 'prev') : '&lt;&lt;';
  for (var i = 1; i <= last; i++) {
    h += ' | ' + (i == current ? '<b aria-current="page">' + i + '</b>' : link(i, String(i), ''));
  }
  h += ' | ' + (current < last ? link(current + 1, '&gt;&gt;', 'next') : '&gt;&gt;');
  h += '</td><td colspan="3" align="right" class="pagecount">';
  h += word('page') + ' ' + current + ' ' + word('of') + ' ' + last + '</td>';
  document.write(h);
})();
