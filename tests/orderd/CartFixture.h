#pragma once

// The hand-worked carts of tests/fixtures/carts/carts.json as the order
// service meets them: the shop published as the generator writes its
// scripts (resources/shop's templates filled in), and the order the shop
// sends for each cart.

#include "JsonFixture.h"
#include "core/common/Text.h"
#include "orderd/ShopFigures.h"

#include <charconv>
#include <map>

namespace quillane::test {

inline const Json& fixture()
{
    static const Json carts = Json::load(std::string(QUILLANE_SOURCE_DIR) + "/tests/fixtures/carts/carts.json");
    return carts;
}

inline std::vector<std::string> texts(const Json& array)
{
    std::vector<std::string> out;
    for (const Json& item : array.items) {
        out.push_back(item.text);
    }
    return out;
}

inline std::string numberText(double value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

inline std::string filledTemplate(const std::string& name,
                                  const std::vector<std::pair<std::string, std::string>>& values)
{
    const std::string path = std::string(QUILLANE_SOURCE_DIR) + "/resources/shop/" + name;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string script = text.str();
    if (script.empty()) {
        throw std::runtime_error("cannot read " + path);
    }
    for (const auto& [placeholder, value] : values) {
        script = ReplaceAll(script, placeholder, value, true);
    }
    return script;
}

// The database script of a fixture shop: every group in one script.
inline std::string databaseScript(const Json& shop)
{
    std::string script;
    for (std::size_t n = 0; n < shop["groups"].size(); ++n) {
        const Json& group = shop["groups"][n];
        std::string data;
        for (const Json& item : group["items"].items) {
            data += (data.empty() ? "" : "|") + item[0].text + "\xA6" + item[0].text + "\xA6" + item[1].text +
                    "\xA6"
                    "00\xA6" +
                    item[2].text;
        }
        script += "gd = '" + data + "\x86" + group["surcharge"].text + "'; pl(1); parent.CreateItemList(gd, " +
                  std::to_string(n) + "); ";
    }
    return script + "location.href = 'categories.html';";
}

// var_init.js of a fixture shop, delivering to every fixture country.
inline std::string varInitScript(const Json& shop)
{
    const auto levels = [](const Json& list) {
        std::string text;
        for (const std::string& level : texts(list)) {
            text += (text.empty() ? "" : "|") + level;
        }
        return "\"" + text + "\"";
    };
    std::string countries;
    for (const auto& [code, country] : fixture()["countries"].members) {
        countries += "\r\nLand['" + code + "'] = '" + country["name"].text + "|english';";
    }
    return filledTemplate("varinit.js", {{"[HOME_INDEX]", shop["homeIndex"].text},
                                         {"[HOME_VAT]", numberText(shop["homeVat"].number)},
                                         {"[HOME_EUCOUNTRY]", numberText(shop["homeEu"].number)},
                                         {"[HOME_EURORATE]", "1"},
                                         {"[VATDEST]", numberText(shop["vatByDestination"].number)},
                                         {"[MRABATT]", levels(shop["quantityLevels"])},
                                         {"[PRABATT]", levels(shop["priceLevels"])},
                                         {"[FREIHAUS]", numberText(shop["freeDelivery"].number)},
                                         {"[VERPACKUNG]", numberText(shop["packing"].number)},
                                         {"[LAENDER]", countries + "\r\n"},
                                         {"[ANSICHT]", "2"},
                                         {"[FAKTOR]", "1"},
                                         {"[XXL]", "0"},
                                         {"[DBSIZE]", "1"},
                                         {"[DBSCRIPTS]", "1"}});
}

// countries/settings/<code>.js of a fixture country.
inline std::string countryScript(const std::string& code)
{
    const Json& c = fixture()["countries"][code];
    std::string payments;
    for (const Json& payment : c["payments"].items) {
        payments += "parent.Shop.Versand.Zahlung." + payment[0].text + " = " + payment[1].text + ";\r\n";
    }
    return filledTemplate("setcountry.js", {{"[SHIPPINGFEE]", numberText(c["shippingFee"].number)},
                                            {"[SHIPPING]", payments},
                                            {"[COUNTRYVAT]", numberText(c["vat"].number)},
                                            {"[EUCOUNTRY]", numberText(c["eu"].number)},
                                            {"[COUNTRYNAME]", c["name"].text},
                                            {"[EURORATE]", numberText(c["rates"][0].number)},
                                            {"[CURRENCY]", "x"}});
}

// The published files of a fixture shop by their path under its address.
inline std::map<std::string, std::string> publishedFiles(const Json& shop)
{
    std::map<std::string, std::string> files{{"database/db_0.js", databaseScript(shop)},
                                             {"var_init.js", varInitScript(shop)}};
    for (const auto& [code, country] : fixture()["countries"].members) {
        files["countries/settings/" + code + ".js"] = countryScript(code);
    }
    return files;
}

// The fixture shop as the service reads it from those files.
inline orderd::PublishedShop publishedShop(const Json& shop)
{
    orderd::PublishedShop published;
    orderd::ReadDatabaseScript(databaseScript(shop), "db_0.js", published.Items);
    published.Settings = orderd::ReadShopSettings(varInitScript(shop));
    for (const std::string& code : published.Settings->CountryCodes) {
        published.Countries.push_back(orderd::ReadCountryScript(countryScript(code), code));
    }
    return published;
}

// The order the shop sends for a cart: its expected figures.
inline std::vector<orderd::FormField> orderOf(const Json& cart)
{
    const Json& e = cart["expected"];
    std::vector<orderd::FormField> fields{{"country", fixture()["countries"][cart["country"].text]["name"].text},
                                          {"itemcount", std::to_string(cart["lines"].size())}};
    for (std::size_t i = 0; i < cart["lines"].size(); ++i) {
        const Json& line = cart["lines"][i];
        fields.push_back({"item" + std::to_string(i), "Ding|" + line[0].text + "|" +
                                                          std::to_string(static_cast<long>(line[2].number)) + "|" +
                                                          e["items"][i][0].text + "|" + e["items"][i][1].text});
    }
    for (const char* name :
         {"subtotal", "qdiscount", "pdiscount", "total", "vat", "vatrate", "shipping", "subamount", "paymentfee"}) {
        fields.push_back({name, e[name].text});
    }
    fields.push_back({"payment", cart["payment"].text});
    return fields;
}

// The fixture cart whose description starts so.
inline const Json& cartAbout(const std::string& start)
{
    for (const Json& cart : fixture()["carts"].items) {
        if (cart["what"].text.starts_with(start)) {
            return cart;
        }
    }
    throw std::runtime_error("no fixture cart \"" + start + "\"");
}

// The fields with some values changed (or added).
inline std::vector<orderd::FormField> changed(std::vector<orderd::FormField> fields,
                                              const std::vector<orderd::FormField>& changes)
{
    for (const orderd::FormField& c : changes) {
        bool found = false;
        for (orderd::FormField& f : fields) {
            if (f.Name == c.Name) {
                f.Value = c.Value;
                found = true;
            }
        }
        if (!found) {
            fields.push_back(c);
        }
    }
    return fields;
}

} // namespace quillane::test
