/*
 * Site foot: the company's address and the way out of the shop; closes the
 * foot opened by footer_shop.js. The status region announces what an action
 * did (basket changes, sending the order) to screen readers.
 */
(function () {
  var T = Q.T, H = Q.H, u = Q.S.Shop.User, h = '';
  var parts = [u.Company, u.Street, (u.ZIP + ' ' + u.City).replace(/^\s+|\s+$/g, '')];
  var line = [];
  for (var i = 0; i < parts.length; i++) if (parts[i]) line.push(H(parts[i]));
  h += '<p>' + line.join(' &middot; ');
  if (u.Phone && u.Phone != '-') h += ' &middot; ' + H(T('phone')) + ' ' + H(u.Phone);
  if (u.EMail) h += ' &middot; <a href="mailto:' + H(u.EMail) + '">' + H(u.EMail) + '</a>';
  h += '</p>';
  h += '<p><button type="button" class="linkbutton" onclick="Q.S.ExitShop(Q.T(\'exitwarning\'))">' + H(T('leave')) + '</button>';
  h += ' <img class="badge" src="qlb.gif" width="37" height="29" alt="Quillane"></p>';
  h += '</div></footer>';
  h += '<div id="announce" class="visually-hidden" role="status" aria-live="polite" aria-atomic="true"></div>';
  document.write(h);
})();
