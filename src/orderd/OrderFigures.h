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
// The shop counts in whole cents: every figure is the sum or difference of
// the amounts it is made of, so each must come out to the cent:
// - item line: quantity x unit price is the line total;
// - subtotal: the sum of the line totals;
// - total: subtotal - qdiscount - pdiscount, with both discounts from 0 to
//   what they are taken from;
// - vat: when the order names the rate it charged (vatrate, percent with
//   two decimals, 0 to 100), the total times that rate, give or take the
//   roundings of a shop that shows gross prices;
// - subamount: total + vat + shipping.
// An order without vatrate comes from a shop made before it counted in
// cents; its figures may each be a cent off the exact sums.
void CheckOrderFigures(const std::vector<FormField>& fields);

} // namespace quillane::orderd
