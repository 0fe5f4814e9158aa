#include "orderd/AccountPage.h"

#include "core/common/Text.h"

#include <ctime>

namespace quillane::orderd {

namespace {

enum class Lang { German, English };

// The page's texts; Windows-1252.
struct Texts {
    const char* Code;
    const char* Title;
    const char* LogInHeading;
    const char* CreateHeading;
    const char* Name;
    const char* Password;
    const char* Repeat;
    const char* Shop;
    const char* Current;
    const char* NewPassword;
    const char* NewRepeat;
    const char* LogInButton;
    const char* CreateButton;
    const char* ChangeHeading;
    const char* ChangeButton;
    const char* Overview;
    const char* Created;
    const char* Orders;
    const char* NoShop;
    const char* LogOut;
    const char* CreatedDone;
    const char* ChangedDone;
    const char* Wrong;
    const char* WaitBefore;
    const char* WaitAfter;
    const char* CreateLaterBefore;
    const char* CreateLaterAfter;
    const char* Failure;
    const char* OtherLanguage;
    const char* OtherCountry;
};

constexpr Texts kGerman{
    "de",
    "Konto beim Bestellservice",
    "Anmelden",
    "Neues Konto anlegen",
    "Kontoname",
    "Kennwort",
    "Kennwort wiederholen",
    "Adresse des Shops (freiwillig)",
    "Bisheriges Kennwort",
    "Neues Kennwort",
    "Neues Kennwort wiederholen",
    "Anmelden",
    "Konto anlegen",
    "Kennwort \xE4ndern",
    "Kennwort \xE4ndern",
    "Ihr Konto",
    "Angelegt am",
    "Bestellungen der letzten 90 Tage",
    "(keine Adresse)",
    "Abmelden",
    "Das Konto ist angelegt. Quillane \xFC"
    "bernimmt Kontoname und Kennwort.",
    "Das Kennwort ist ge\xE4ndert. Quillane \xFC"
    "bernimmt es.",
    "Kontoname oder Kennwort ist falsch.",
    "Zu viele falsche Kennw\xF6rter. Bitte warten Sie ",
    " Sekunden.",
    "Zuletzt wurden zu viele Konten angelegt. Bitte versuchen Sie es in ",
    " Minuten noch einmal.",
    "Der Bestellservice kann die Anfrage gerade nicht ausf\xFChren. Bitte versuchen Sie es sp\xE4ter noch einmal.",
    "English",
    "GB",
};

constexpr Texts kEnglish{
    "en",
    "Order service account",
    "Log in",
    "Create an account",
    "Account name",
    "Password",
    "Repeat the password",
    "Shop address (optional)",
    "Current password",
    "New password",
    "Repeat the new password",
    "Log in",
    "Create account",
    "Change the password",
    "Change password",
    "Your account",
    "Created on",
    "Orders of the last 90 days",
    "(no address)",
    "Log out",
    "The account has been created. Quillane takes over its name and password.",
    "The password has been changed. Quillane takes it over.",
    "Wrong account name or password.",
    "Too many wrong passwords. Please wait ",
    " seconds.",
    "Too many accounts were created lately. Please try again in ",
    " minutes.",
    "The order service cannot do this just now. Please try again later.",
    "Deutsch",
    "DE",
};

std::string problemText(AccountProblem problem, Lang lang)
{
    if (lang == Lang::English) {
        return ProblemText(problem) + ".";
    }
    switch (problem) {
    case AccountProblem::NameForm:
        return "Ein Kontoname hat 3 bis 40 Zeichen: Buchstaben a-z, Ziffern und . - _ @, am Anfang ein Buchstabe "
               "oder eine Ziffer.";
    case AccountProblem::NameTaken:
        return "Dieser Kontoname ist schon vergeben.";
    case AccountProblem::PasswordLength:
        return "Ein Kennwort hat 8 bis 128 Zeichen.";
    case AccountProblem::PasswordForm:
        return "Ein Kennwort darf keine Steuerzeichen und kein \x84--\x93 enthalten, nicht mit einem Leerzeichen "
               "beginnen oder enden und nicht in Anf\xFChrungszeichen stehen.";
    case AccountProblem::PasswordsDiffer:
        return "Die beiden Kennw\xF6rter sind verschieden.";
    case AccountProblem::ShopAddress:
        return "Die Adresse des Shops beginnt mit http:// oder https:// und enth\xE4lt keine Leerzeichen.";
    }
    return "Das Konto wird nicht angenommen.";
}

// German for the German-speaking countries and when no country is sent.
Lang languageOf(const std::string& country)
{
    const std::string c = UpperCase(country);
    if (c.empty() || c == "DE" || c == "AT" || c == "CH" || c == "LI" || c == "LU") {
        return Lang::German;
    }
    return Lang::English;
}

std::string param(const AccountPageRequest& request, std::string_view name)
{
    std::string value;
    for (const FormField& f : request.Params) {
        if (f.Name == name) {
            value = f.Value;
        }
    }
    return value;
}

std::string dayOf(std::int64_t seconds)
{
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    ::localtime_r(&t, &local);
    char day[16];
    std::strftime(day, sizeof day, "%d.%m.%Y", &local);
    return day;
}

// Builds the page piece by piece; every value from outside is escaped.
class Page {
public:
    Page(Lang lang, std::string country) : t_(lang == Lang::German ? kGerman : kEnglish), country_(std::move(country))
    {
    }

    const Texts& texts() const { return t_; }

    void error(const std::string& message)
    {
        body_ += "<p class=\"error\" role=\"alert\">" + EscapeHtml(message) + "</p>\n";
    }
    void done(const std::string& message)
    {
        body_ += "<p class=\"done\" role=\"status\">" + EscapeHtml(message) + "</p>\n";
    }

    void logInForm(const std::string& name)
    {
        body_ += "<h2>" + std::string(t_.LogInHeading) + "</h2>\n";
        // Posted, so the password stands in no address, history or log.
        body_ += "<form id=\"login\" method=\"post\" action=\"accountmanager.php4\">\n";
        hidden("Country", country_);
        hidden("Action", "show");
        field("UserID", t_.Name, "text", name, "username");
        field("password", t_.Password, "password", "", "current-password");
        button(t_.LogInButton);
        body_ += "</form>\n";
    }

    void createForm(const std::string& name, const std::string& shop)
    {
        body_ += "<h2>" + std::string(t_.CreateHeading) + "</h2>\n";
        body_ += "<form id=\"create\" method=\"post\" action=\"accountmanager.php4\">\n";
        hidden("Country", country_);
        hidden("Action", "create");
        field("UserID", t_.Name, "text", name, "username");
        field("password", t_.Password, "password", "", "new-password");
        field("password2", t_.Repeat, "password", "", "new-password");
        field("shop", t_.Shop, "url", shop, "url");
        button(t_.CreateButton);
        body_ += "</form>\n";
    }

    void overview(const Account& account, std::size_t orders)
    {
        body_ += "<h2>" + std::string(t_.Overview) + "</h2>\n<dl id=\"account\">\n";
        row(t_.Name, EscapeHtml(account.Name));
        row("Shop", account.Shop.empty() ? std::string(t_.NoShop) : EscapeHtml(account.Shop));
        row(t_.Created, dayOf(account.Created));
        row(t_.Orders, std::to_string(orders));
        body_ += "</dl>\n";
        body_ += "<h2>" + std::string(t_.ChangeHeading) + "</h2>\n";
        body_ += "<form id=\"change\" method=\"post\" action=\"accountmanager.php4\">\n";
        hidden("Country", country_);
        hidden("Action", "change");
        hidden("UserID", account.Name);
        field("password", t_.Current, "password", "", "current-password");
        field("newpassword", t_.NewPassword, "password", "", "new-password");
        field("newpassword2", t_.NewRepeat, "password", "", "new-password");
        button(t_.ChangeButton);
        body_ += "</form>\n";
        body_ += "<p><a href=\"accountmanager.php4?Country=" + UrlEncode(country_) + "\">" + t_.LogOut + "</a></p>\n";
    }

    // The values the program takes over, as HTML comments. Names and
    // passwords were checked: neither can end a comment.
    void credentials(const std::string& name, const std::string& password)
    {
        body_ += "<!-- UserID=" + name + " -->\n<!-- Password=" + password + " -->\n";
    }

    Answer answer(int status) const
    {
        Answer a;
        a.Status = status;
        a.ContentType = "text/html; charset=windows-1252";
        a.Headers = {{"Cache-Control", "no-store"}, {"X-Frame-Options", "DENY"}, {"Referrer-Policy", "no-referrer"}};
        a.Body = "<!DOCTYPE html>\n<html lang=\"" + std::string(t_.Code) +
                 "\">\n<head>\n<meta charset=\"windows-1252\">\n"
                 "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
                 t_.Title +
                 "</title>\n<style>body{font-family:sans-serif;max-width:40em;margin:1em auto;padding:0 1em}"
                 "label{display:block;margin:.5em 0}input{display:block;width:100%;max-width:24em}"
                 ".error{color:#a00}.done{color:#060}dt{font-weight:bold}</style>\n</head>\n<body>\n<h1>" +
                 t_.Title + "</h1>\n" + body_ + "<p><a href=\"accountmanager.php4?Country=" + t_.OtherCountry + "\">" +
                 t_.OtherLanguage + "</a></p>\n</body>\n</html>\n";
        return a;
    }

private:
    void hidden(const char* name, const std::string& value)
    {
        body_ += "<input type=\"hidden\" name=\"" + std::string(name) + "\" value=\"" + EscapeHtml(value) + "\">\n";
    }
    void field(const char* name, const char* label, const char* type, const std::string& value,
               const char* autocomplete)
    {
        body_ += "<label>" + std::string(label) + " <input name=\"" + name + "\" type=\"" + type + "\" value=\"" +
                 EscapeHtml(value) + "\" autocomplete=\"" + autocomplete + "\"></label>\n";
    }
    void button(const char* label) { body_ += "<button type=\"submit\">" + std::string(label) + "</button>\n"; }
    void row(const char* term, const std::string& value)
    {
        body_ += "<dt>" + std::string(term) + "</dt><dd>" + value + "</dd>\n";
    }

    const Texts& t_;
    std::string country_;
    std::string body_;
};

std::size_t ordersKept(OrderStore& store, const Account& account, const AccountPageRequest& request)
{
    return store.Orders(account.Id, request.Now - request.Keep).size();
}

// A login that did not go through: the page says why.
Answer refusedLogin(Page& page, const LoginResult& login, const std::string& name)
{
    if (login.Outcome == LoginOutcome::Throttled) {
        page.error(page.texts().WaitBefore + std::to_string(login.RetryAfter) + page.texts().WaitAfter);
        page.logInForm(name);
        Answer a = page.answer(429);
        a.Headers.emplace_back("Retry-After", std::to_string(login.RetryAfter));
        return a;
    }
    page.error(page.texts().Wrong);
    page.logInForm(name);
    page.createForm("", "");
    return page.answer(403);
}

Answer create(Accounts& accounts, OrderStore& store, Page& page, const AccountPageRequest& request, Lang lang)
{
    const std::string name = param(request, "UserID");
    const std::string password = param(request, "password");
    const std::string shop = Trim(param(request, "shop"));
    try {
        if (password != param(request, "password2")) {
            throw AccountRefused(AccountProblem::PasswordsDiffer);
        }
        const Account account = accounts.CreateFrom(request.ClientAddress, name, password, shop, request.Now);
        page.done(page.texts().CreatedDone);
        page.overview(account, ordersKept(store, account, request));
        page.credentials(account.Name, password);
        return page.answer(200);
    } catch (const AccountRefused& refused) {
        page.error(problemText(refused.problem(), lang));
        page.createForm(name, shop);
        page.logInForm("");
        return page.answer(refused.problem() == AccountProblem::NameTaken ? 409 : 400);
    } catch (const CreationThrottled& throttled) {
        const std::int64_t minutes = (throttled.retryAfter() + 59) / 60;
        page.error(page.texts().CreateLaterBefore + std::to_string(minutes) + page.texts().CreateLaterAfter);
        page.createForm(name, shop);
        page.logInForm("");
        Answer a = page.answer(429);
        a.Headers.emplace_back("Retry-After", std::to_string(throttled.retryAfter()));
        return a;
    }
}

Answer change(Accounts& accounts, OrderStore& store, Page& page, const AccountPageRequest& request, Lang lang)
{
    const std::string name = param(request, "UserID");
    const LoginResult login = accounts.LogIn(name, param(request, "password"), request.ClientAddress);
    if (login.Outcome != LoginOutcome::Ok) {
        return refusedLogin(page, login, name);
    }
    const std::string newPassword = param(request, "newpassword");
    try {
        if (newPassword != param(request, "newpassword2")) {
            throw AccountRefused(AccountProblem::PasswordsDiffer);
        }
        accounts.ChangePassword(login.Who, newPassword);
        page.done(page.texts().ChangedDone);
        page.overview(login.Who, ordersKept(store, login.Who, request));
        page.credentials(login.Who.Name, newPassword);
        return page.answer(200);
    } catch (const AccountRefused& refused) {
        page.error(problemText(refused.problem(), lang));
        page.overview(login.Who, ordersKept(store, login.Who, request));
        return page.answer(400);
    }
}

} // namespace

Answer ServeAccountPage(Accounts& accounts, OrderStore& store, const AccountPageRequest& request)
{
    const std::string country = param(request, "Country");
    const Lang lang = languageOf(country);
    Page page(lang, country.empty() ? "DE" : country);
    try {
        const std::string action = LowerCase(param(request, "Action"));
        if (request.Post && action == "create") {
            return create(accounts, store, page, request, lang);
        }
        if (request.Post && action == "change") {
            return change(accounts, store, page, request, lang);
        }
        const std::string name = param(request, "UserID");
        if (name.empty()) {
            page.logInForm("");
            page.createForm("", "");
            return page.answer(200);
        }
        const LoginResult login = accounts.LogIn(name, param(request, "password"), request.ClientAddress);
        if (login.Outcome != LoginOutcome::Ok) {
            return refusedLogin(page, login, name);
        }
        page.overview(login.Who, ordersKept(store, login.Who, request));
        // Typed into the login form, they are the program's from now on; a
        // password set before today's rules might end the comment early.
        if (const std::string password = param(request, "password"); request.Post && !CheckPassword(password)) {
            page.credentials(login.Who.Name, password);
        }
        return page.answer(200);
    } catch (const Error&) {
        // The store failed; the merchant is told in the page's language.
        Page failed(lang, country);
        failed.error(failed.texts().Failure);
        return failed.answer(503);
    }
}

} // namespace quillane::orderd
