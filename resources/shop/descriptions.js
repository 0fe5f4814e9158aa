/*
 * Description of one item in one language. A page that shows several
 * descriptions (it defines Count, mCount, sPos, Target and pl) loads them one
 * after the other: each script stores its text, and the shop window's
 * DescriptionDone loads the next one.
 */
var p = parent;
[DESCRIPTION]

if (typeof Count != 'undefined' && typeof mCount != 'undefined') p.DescriptionDone(window);
