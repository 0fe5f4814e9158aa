#pragma once

#include "orderd/OrderIntake.h"
#include "orderd/ShopPrices.h"

#include <optional>
#include <string>
#include <vector>

// An order worked out again from the shop the merchant published, for the
// figures a customer could change in the browser and still have them add
// up: a discount, the VAT rate, the shipping, a fee.
namespace quillane::orderd {

// Why the order does not fit the published shop, nullopt when it does. Its
// unit prices must be the shop's (PriceProblem). When the shop's scripts
// tell how its cart computes, the order must also name a delivery country
// the shop delivers to and a payment method offered there, and its
// discounts, shipping, VAT rate, VAT (of net or gross display: the
// customer may switch) and payment fee must be what the cart gives for its
// lines, to the cent. An order without vatrate comes from a cart that
// rounded each figure on its own and charged the home rate: a cent either
// way is taken there. When the figures cannot be worked out (a shop
// published before the cart counted as it does now), only the prices are
// checked and unchecked says why. The fields are an order that
// CheckOrderFigures took.
std::optional<std::string> ShopProblem(const std::vector<FormField>& fields, const PublishedShop& shop,
                                       std::string& unchecked);

} // namespace quillane::orderd
