#pragma once

#include "orderd/Accounts.h"
#include "orderd/Answer.h"
#include "orderd/OrderIntake.h"
#include "orderd/OrderStore.h"

#include <cstdint>
#include <string>
#include <vector>

// The merchant's account page, in German or English after the country the
// program sends. Without an account it offers to log in and to create one;
// logged in it shows the account and changes its password. After logging in
// through its form, creating or changing it carries "<!-- UserID=... -->"
// and "<!-- Password=... -->", from which the program takes the values over. The page is Windows-1252,
// so what a form sends comes in the program's own bytes.
namespace quillane::orderd {

struct AccountPageRequest {
    bool Post = false;
    // The query's and, for POST, then the body's fields; a later one wins.
    std::vector<FormField> Params;
    std::string ClientAddress;
    std::int64_t Now = 0;
    std::int64_t Keep = 0; // seconds orders stay, for the count shown
};

Answer ServeAccountPage(Accounts& accounts, OrderStore& store, const AccountPageRequest& request);

} // namespace quillane::orderd
