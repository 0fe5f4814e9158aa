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

  // The arrows carry a hidden "previous page" / "next page" for screen
  // readers; the signs stay part of the link's name.
  var hidden = 'position:absolute;width:1px;height:1px;overflow:hidden;clip:rect(0 0 0 0);white-space:nowrap';
  function link(n, label, rel, name) {
    return '<a href="' + attr(w.GotoItemPage('page=' + n)) + '"' + (rel ? ' rel="' + rel + '"' : '') + '>' + label +
      (name ? '<span style="' + hidden + '"> ' + name + '</span>' : '') + '</a>';
  }

  var current = parseInt(page, 10) || 1;
  var last = parseInt(pages, 10) || 1;
  var h = '<td colspan="3" class="pagelinks">';
  var prevName = word('prevpage') || word('back'), nextName = word('nextpage') || word('next');
  h += current > 1 ? link(current - 1, '&lt;&lt;', 'prev', prevName) : '<span aria-hidden="true">&lt;&lt;</span>';
  for (var i = 1; i <= last; i++) {
    h += ' | ' + (i == current ? '<b aria-current="page">' + i + '</b>' : link(i, String(i), '', ''));
  }
  h += ' | ' + (current < last ? link(current + 1, '&gt;&gt;', 'next', nextName) : '<span aria-hidden="true">&gt;&gt;</span>');
  h += '</td><td colspan="3" align="right" class="pagecount">';
  h += word('page') + ' ' + current + ' ' + word('of') + ' ' + last + '</td>';
  document.write(h);
})();
