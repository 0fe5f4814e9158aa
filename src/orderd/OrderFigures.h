#pragma once

#include "orderd/OrderIntake.h"

#include <vector>

// Checking the customer's arithmetic, which a static shop cannot protect:
// the figures of an order must be what the shop's cart computes from its
// item lines.
namespace quillane::orderd {

// Throws OrderRefused naming the first figure that is missing, not written
// as the shop writes amounts, or not what the item lines and the other
// figures give.
//
// Every amount is a rounded one: the shop keeps exact values and writes
// each rounded half up to the cent. A figure is refused only when no exact
// values that round to the figures sent could give it, so rounding never
// refuses an order, while a figure off by more than the roundings involved
// (half a cent each) always is:
// - item line: quantity x unit price gives the line total, for some price
//   that rounds to the unit price;
// - subtotal: the sum of the line totals;
// - total: subtotal - qdiscount - pdiscount, with both discounts from 0 to
//   what they are taken from;
// - subamount: total + vat + shipping.
void CheckOrderFigures(const std::vector<FormField>& fields);

} // namespace quillane::orderd
