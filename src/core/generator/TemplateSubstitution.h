#pragma once

#include <ctime>
#include <string>
#include <string_view>

// Helpers of the generation steps that fill the shop's files.
//
// Where values go:
// - Values inside a single-quoted script literal are escaped with
//   EscapeSingleQuotes: the company and bank data, the order-service
//   address, the words and menu strings, country names and currency signs,
//   the shop texts and directions. Templates and layouts therefore put these
//   placeholders between single quotes, never double quotes.
// - The fragments written into header_site.js are HTML inside a
//   single-quoted literal: the Homepage (href="...") and the company name
//   are escaped for HTML first, then the whole fragment for the literal.
// - Values written into HTML pages ([FIRMA] of preloader.html, [USERID]) are
//   escaped for HTML, so they may stand in text or in a quoted attribute.
// - Numbers ([FREIHAUS], [EURORATE], [SHIPPINGFEE], ...) are written as
//   stored once they are known to be decimal numbers (amounts 0 or more,
//   rates above 0), so they are safe bare in script code as well as in a
//   literal; any other value is refused.
// - The font name stands in a CSS string or bare in a declaration: every
//   sign that could end either is written as a CSS escape.
namespace quillane {

struct GenerationRun;

// Replaces in a file at the top of the shop folder; a missing file stops
// the run with an error naming it and the layout that should provide it.
void ReplaceInShopFile(const GenerationRun& run, const std::string& name, std::string_view find,
                       std::string_view value);

// Every ASCII sign but letters, digits, blanks, "-" and "_" as a CSS escape
// ("\27 " for "'"): safe in a CSS string and as a bare font name. Bytes
// above 0x7F are letters of the page's character set and stay.
std::string EscapeCss(std::string_view text);

// The run date as the shop shows it: dd.mm.yyyy.
std::string RunDateText(const std::tm& date);

// Replaces the marker comments of a layout page by the script elements of
// the shop's header and footer scripts.
void ReplaceMarkerComments(const std::string& file);

// A shop text as its script: document.writeln('...'); with every line of the
// text followed by <br>, escaped for the literal, and no line end.
std::string ShopTextScript(std::string_view text);

} // namespace quillane
