#include "CliApp.h"

#include "core/catalog/CatalogStore.h"
#include "core/catalog/Project.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/Prompter.h"
#include "core/common/Text.h"
#include "core/common/WorkFolder.h"
#include "core/common/messages/ImportMessages.h"
#include "core/common/messages/ListingMessages.h"
#include "core/common/messages/OrdersMessages.h"
#include "core/generator/Generation.h"
#include "core/generator/GenerationSetup.h"
#include "core/i18n/LanguageFile.h"
#include "core/import/ImportFile.h"
#include "core/import/PriceUpdate.h"
#include "core/import/ProductImport.h"
#include "core/listing/AuctionListing.h"
#include "core/online/DialUp.h"
#include "core/online/DialUpClient.h"
#include "core/online/HttpClient.h"
#include "core/online/WebConnect.h"
#include "core/orders/InvoiceNumbers.h"
#include "core/orders/InvoicePage.h"
#include "core/orders/OrderFile.h"
#include "core/orders/OrderRetrieval.h"
#include "core/publish/Upload.h"
#include "core/settings/AppDirs.h"
#include "core/settings/Country.h"
#include "core/settings/FirstSetup.h"
#include "core/settings/UserData.h"
#include "core/settings/WindowMemory.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <optional>
#include <ostream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace quillane::cli {

namespace {

constexpr const char* kUsage =
    "Usage: quillane-cli [--home DIR] COMMAND\n"
    "\n"
    "Commands:\n"
    "  info              print the settings the program starts with, one key=value per line\n"
    "  setup --country NAME [--also NAME...]\n"
    "                    the first-time setup: NAME (as the country table names it or by one of its\n"
    "                    own names, such as Deutschland) becomes the home country; it and the\n"
    "                    countries after --also are served\n"
    "  generate PROJECT  build the shop of a project (a name under Projekte/ or a .shp file)\n"
    "  upload PROJECT [--changed-only]\n"
    "                    publish the project's shop to the server of the FTP settings;\n"
    "                    --changed-only sends only files that changed since the last upload\n"
    "  orders fetch      fetch the orders from the order service into orders.dat; prints how many are new\n"
    "                    and how many lines of the reply were refused\n"
    "  orders list [--new|--done]\n"
    "                    one line per order (all, new or done ones), fields separated by tabs:\n"
    "                    order ID, date, customer, amount payable\n"
    "  invoice ORDER-ID [--project PROJECT] [--number N] [--out FILE.html] [--pdf FILE.pdf] [--done]\n"
    "          [--preview]\n"
    "                    write the order's invoice page as FILE.html (default: rechnung.html in the\n"
    "                    current folder) with its number script (renr.js for rechnung.html, else\n"
    "                    FILE.renr.js) and logo.jpg beside it; --pdf prints it to a PDF through the\n"
    "                    window program quillane. The invoice settings and numbers come from PROJECT's\n"
    "                    shop profile (default: the project the window opened last, else the untitled\n"
    "                    one); the number is N, else the one the order was invoiced with, else the next\n"
    "                    one of the sequence, which the invoice uses up. --pdf (once written) and --done\n"
    "                    mark the order done, as printing in the window does; --preview uses no number\n"
    "                    up. Prints the path of every file written.\n"
    "  import PROJECT FILE --group COL --name COL --orderno COL --price COL\n"
    "         [--main NAME] [--sub NAME] [--gross] [--rows FIRST[-LAST]] [--update] [--dry-run]\n"
    "                    import the items of a .xls, .xlsx, .ods or delimited text file into the\n"
    "                    project and save it; columns by letter (A, B, ... AA); --main and --sub\n"
    "                    name the group the rows go into; --gross: the prices include VAT;\n"
    "                    --rows: only these rows of the file; --update: update the prices of the\n"
    "                    project's items instead (--group and --name are not needed) and list\n"
    "                    the items the file lacks; --dry-run: count what would happen, write nothing\n"
    "  listing PROJECT ORDERNO [--shop-url URL]\n"
    "                    write the auction description of the item to standard output; the shop\n"
    "                    address is URL, else the one stored with the last listing\n"
    "\n"
    "The program folder is DIR, else $QUILLANE_HOME, else ~/.local/share/quillane. One that does not\n"
    "exist or is empty is first filled as the window program's first start fills it.\n";

std::string utf8(std::string_view cp1252)
{
    return Cp1252ToUtf8(cp1252);
}

int info(const std::string& programDir, std::ostream& out)
{
    TUserData user;
    const std::string status = ReadUserData(programDir, DefaultCountryFor(SystemLanguageName()), user);
    std::vector<std::string> languages = GetActiveLangs(CountryTablePath(programDir));
    std::sort(languages.begin(), languages.end());
    std::string joined;
    for (const std::string& l : languages) {
        joined += (joined.empty() ? "" : ",") + l;
    }
    const TCountry& c = user.Country;
    out << "StartupStatus=" << status << '\n'
        << "Country.Name=" << utf8(c.Name) << '\n'
        << "Country.Language=" << utf8(c.Language) << '\n'
        << "Country.VAT=" << FormatNumber(c.VAT) << '\n'
        << "Country.EU=" << (c.EU ? 1 : 0) << '\n'
        << "Country.Currency0=" << utf8(c.Currency[0]) << '\n'
        << "Country.Rate0=" << FormatNumber(c.Rate[0]) << '\n'
        << "Country.Currency1=" << utf8(c.Currency[1]) << '\n'
        << "Country.Rate1=" << FormatNumber(c.Rate[1]) << '\n'
        << "Connection=" << user.Connection << '\n'
        << "ActiveLanguages=" << utf8(joined) << '\n';
    return 0;
}

std::tm today()
{
    const std::time_t now = std::time(nullptr);
    std::tm date{};
    localtime_r(&now, &date);
    return date;
}

// Answers no question with yes: the tool never saves anything it was not asked to.
class QuietPrompter : public Prompter {
public:
    Answer Ask(const std::string&, const std::string&, Buttons, Icon) override { return Answer::No; }
    void Tell(const std::string&, const std::string&) override {}
};

// A name under Projekte/, or the path of a .shp file; empty when there is no such file.
std::string projectFile(const std::string& programDir, const std::string& project, std::ostream& err)
{
    const bool isFile = project.find('/') != std::string::npos ||
                        (project.size() > 4 && SameText(project.substr(project.size() - 4), ".shp"));
    const std::string file = isFile ? project : programDir + "Projekte/" + project + ".shp";
    if (!FileExists(file)) {
        err << "quillane-cli: the project file " << utf8(file) << " does not exist\n";
        return {};
    }
    return file;
}

// Progress on standard error: a bar on a terminal, else a line per step.
class ProgressLine {
public:
    explicit ProgressLine(std::ostream& err) : err_(err), terminal_(&err == &std::cerr && ::isatty(STDERR_FILENO) != 0)
    {
    }
    void Show(int percent, const std::string& name)
    {
        if (terminal_) {
            const int filled = percent / 5;
            err_ << "\r[" << std::string(filled, '#') << std::string(20 - filled, ' ') << "] " << percent << "% "
                 << utf8(name).substr(0, 40) << "\x1b[K" << std::flush;
        } else {
            err_ << percent << "% " << utf8(name) << '\n';
        }
    }
    void End()
    {
        if (terminal_) {
            err_ << '\n';
        }
    }

private:
    std::ostream& err_;
    bool terminal_;
};

// A project opened in a work folder of its own, as the window opens it, for
// the commands that read or change one. The members depend on those above
// them, so their order matters.
struct OpenedProject {
    // Interface: the texts of the home country's language, for commands
    // whose output holds them.
    enum class Texts { None, Interface };

    OpenedProject(const std::string& programDir, const std::string& file, Texts texts)
        : Dirs(workDirs(programDir, Work)), User(homeUser(programDir)), Store(Dirs.TempDir),
          Tables(texts == Texts::Interface ? LoadTextTables(LanguageFile(Dirs.LanguageDir, User.Country.Language))
                                           : TextTables()),
          Opened(Dirs, Store, Quiet, Tables)
    {
        Store.SetLanguages(User.Country.Language, User.Country.Language);
        Opened.Open(file);
    }

    static TAppDirs workDirs(const std::string& programDir, const WorkFolder& work)
    {
        TAppDirs dirs = MakeAppDirs(programDir);
        dirs.TempDir = work.path();
        return dirs;
    }
    static TUserData homeUser(const std::string& programDir)
    {
        TUserData user;
        ReadUserData(programDir, DefaultCountryFor(SystemLanguageName()), user);
        return user;
    }

    const WorkFolder Work;
    TAppDirs Dirs;
    TUserData User;
    CatalogStore Store;
    QuietPrompter Quiet;
    const TextTables Tables;
    Project Opened;
};

int generate(const std::string& programDir, const std::string& project, std::ostream& out, std::ostream& err)
{
    const std::string file = projectFile(programDir, project, err);
    if (file.empty()) {
        return 1;
    }
    OpenedProject opened(programDir, file, OpenedProject::Texts::None);
    TAppDirs& dirs = opened.Dirs;
    const TUserData& user = opened.User;

    const GenerationChoices choices = ReadCreation(dirs.DataDir, programDir, user.Country.Name);
    if (choices.Layout.empty()) {
        err << "quillane-cli: there is no layout in " << utf8(programDir) << "layouts/\n";
        return 1;
    }
    if (!FileExists(SettingsFilePath(programDir))) {
        err << "quillane-cli: " << utf8(SettingsFilePath(programDir)) << " does not exist; set the program up first\n";
        return 1;
    }
    GenerationInput in = MakeGenerationInput(dirs, user, choices, today());
    CheckGenerationInput(in);
    // As the window's run does, so both build the same shop.
    ApplyHomeDestination(programDir, dirs.DataDir, user.Country);

    ProgressLine progress(err);
    in.Progress = [&progress](int percent, const std::string& name) { progress.Show(percent, name); };
    if (!RunGeneration(in)) {
        err << "quillane-cli: " << utf8(SettingsFilePath(programDir)) << " has gone; set the program up first\n";
        return 1;
    }
    progress.End();
    out << utf8(dirs.ShopDir) << '\n';
    return 0;
}

int upload(const std::string& programDir, const std::string& project, bool changedOnly, std::ostream& out,
           std::ostream& err)
{
    const std::string file = projectFile(programDir, project, err);
    if (file.empty()) {
        return 1;
    }
    const std::string shopDir = ProjectShopDir(programDir, file);
    if (!FileExists(shopDir + "index.html")) {
        err << "quillane-cli: " << utf8(shopDir) << "index.html does not exist; generate the shop first\n";
        return 1;
    }
    FtpSettings settings = InitFTP(programDir);
    settings.ChangedOnly = changedOnly;
    const UploadTarget target = MakeUploadTarget(settings);

    TUserData user;
    ReadUserData(programDir, DefaultCountryFor(SystemLanguageName()), user);
    DialUpClient dialUp(MakeSystemDialUp());
    QuietPrompter prompter;
    if (!WebConnect(user, programDir, {}, dialUp, prompter)) {
        err << "quillane-cli: no internet connection for " << utf8(target.Display())
            << " (see the connection settings)\n";
        return 1;
    }
    ProgressLine progress(err);
    std::string current;
    UploadSink sink;
    sink.Status = [&current](const Message& status) { current = EnglishText(status); };
    sink.ShopProgress = [&progress, &current](std::int64_t done, std::int64_t total) {
        if (!current.empty()) {
            progress.Show(total > 0 ? static_cast<int>(done * 100 / total) : 100, current);
            current.clear();
        }
    };
    const UploadResult result = UploadShop(shopDir, settings, sink);
    progress.End();
    out << utf8(result.Target) << '\n' << "sent " << result.FilesSent << " files, " << result.BytesSent << " bytes";
    if (result.FilesUnchanged > 0) {
        out << "; " << result.FilesUnchanged << " unchanged";
    }
    out << '\n';
    return 0;
}

// Hangs up a connection the tool dialled once the command is over, when the settings ask for it.
class HangUpAfter {
public:
    HangUpAfter(DialUpClient& dialUp, bool autodc) : dialUp_(dialUp), autodc_(autodc) {}
    ~HangUpAfter()
    {
        if (autodc_) {
            dialUp_.HangUp();
        }
    }
    HangUpAfter(const HangUpAfter&) = delete;
    HangUpAfter& operator=(const HangUpAfter&) = delete;

private:
    DialUpClient& dialUp_;
    bool autodc_;
};

int fetchOrders(const std::string& programDir, std::ostream& out, std::ostream& err)
{
    TUserData user;
    ReadUserData(programDir, DefaultCountryFor(SystemLanguageName()), user);
    DialUpClient dialUp(MakeSystemDialUp());
    const HangUpAfter hangUp(dialUp, user.autodc);
    QuietPrompter prompter;
    const ConnectResult connection = WebConnect(user, programDir, {}, dialUp, prompter);
    if (!connection) {
        err << "quillane-cli: no internet connection for the order service (see the connection settings)\n";
        return 1;
    }
    const HttpClient http;
    const FetchResult result = GetOrders(MakeAppDirs(programDir), user, http, connection.Proxy);
    out << "received " << result.Received << " orders, " << result.NewIds.size() << " new";
    if (result.RefusedLines > 0) {
        out << ", " << result.RefusedLines << " lines of the reply refused";
    }
    out << '\n';
    return 0;
}

// A field of a tab-separated line keeps to its column.
std::string field(const std::string& text)
{
    std::string out = utf8(text);
    std::replace(out.begin(), out.end(), '\t', ' ');
    return out;
}

int listOrders(const std::string& programDir, std::optional<OrderState> state, std::ostream& out)
{
    TUserData user;
    ReadUserData(programDir, DefaultCountryFor(SystemLanguageName()), user);
    const std::vector<Order> orders = state ? LoadOrders(programDir, *state) : ReadOrders(programDir);
    for (const Order& order : orders) {
        out << field(order.Id()) << '\t' << field(order.Value(orderkey::kDate)) << '\t' << field(order.Customer())
            << '\t' << field(InvoiceAmountText(FormatNumber(order.AmountPayable()), user.Country)) << '\n';
    }
    return 0;
}

struct InvoiceOptions {
    std::string OrderId;
    std::string Project;
    std::string Out;
    std::string Pdf;
    std::optional<std::string> Number;
    bool Done = false;    // mark the order done without a PDF: its page was printed otherwise
    bool Preview = false; // show the number the invoice would get, and use none up
};

// Options after the order ID; false when one is unknown or lacks its value.
bool parseInvoiceOptions(const std::vector<std::string>& rest, InvoiceOptions& options, std::ostream& err)
{
    if (rest.size() < 2 || rest[1].rfind("--", 0) == 0) {
        err << "quillane-cli: invoice needs an order ID\n";
        return false;
    }
    options.OrderId = rest[1];
    for (std::size_t i = 2; i < rest.size(); ++i) {
        const std::string& option = rest[i];
        if (option == "--done" || option == "--preview") {
            (option == "--done" ? options.Done : options.Preview) = true;
            continue;
        }
        if (option != "--project" && option != "--out" && option != "--pdf" && option != "--number") {
            err << "quillane-cli: unknown option of invoice: " << option << '\n';
            return false;
        }
        if (i + 1 >= rest.size()) {
            err << "quillane-cli: " << option << " needs a value\n";
            return false;
        }
        const std::string& value = rest[++i];
        if (option == "--project") {
            options.Project = value;
        } else if (option == "--out") {
            options.Out = value;
        } else if (option == "--pdf") {
            options.Pdf = value;
        } else {
            options.Number = Utf8ToCp1252(value);
        }
    }
    return true;
}

std::string executableDir()
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

// The window program: in the build tree beside this tool's folder, beside
// this tool, or on the PATH; empty when there is none.
std::string windowProgram()
{
    namespace fs = std::filesystem;
    const auto runnable = [](const fs::path& p) {
        std::error_code ec;
        return fs::is_regular_file(p, ec) && ::access(p.c_str(), X_OK) == 0;
    };
    if (const std::string dir = executableDir(); !dir.empty()) {
        for (const fs::path& p : {fs::path(dir) / ".." / "gui" / "quillane", fs::path(dir) / "quillane"}) {
            if (runnable(p)) {
                return p.lexically_normal().string();
            }
        }
    }
    const char* path = std::getenv("PATH");
    for (const std::string& dir : Split(':', path != nullptr ? path : "")) {
        if (!dir.empty() && runnable(fs::path(dir) / "quillane")) {
            return (fs::path(dir) / "quillane").string();
        }
    }
    return {};
}

// How long printing one invoice may take.
constexpr int kPdfSeconds = 120;

// What the window program said: its last line is its reason. The engine it
// prints with talks a lot, so only the tail is kept.
class ChildOutput {
public:
    static constexpr std::size_t kKept = 8192;

    // Reads what is there without waiting.
    void drain(int fd)
    {
        char buffer[4096];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
            text_.append(buffer, static_cast<std::size_t>(n));
            if (text_.size() > 2 * kKept) {
                text_.erase(0, text_.size() - kKept);
            }
        }
    }

    // The last line with text, without the program's own name in front.
    std::string reason() const
    {
        std::string line;
        for (const std::string& l : SplitLines(text_)) {
            if (!Trim(l).empty()) {
                line = Trim(l);
            }
        }
        constexpr std::string_view kOwnName = "quillane: ";
        if (line.starts_with(kOwnName)) {
            line.erase(0, kOwnName.size());
        }
        return VisibleControlChars(line.substr(0, 300));
    }

private:
    std::string text_;
};

// Has the window program print page to pdf without showing a window; false,
// with a message, when it cannot.
bool printToPdf(const std::string& page, const std::string& pdf, std::ostream& err)
{
    const std::string program = windowProgram();
    if (program.empty()) {
        err << "quillane-cli: cannot write " << pdf
            << ": the window program quillane, which prints PDF files, is neither in the build tree, beside "
               "quillane-cli nor on the PATH\n";
        return false;
    }
    std::vector<std::string> variables;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string_view entry(*e);
        if (entry.rfind("QT_QPA_PLATFORM=", 0) != 0 && entry.rfind("QTWEBENGINE_DISABLE_SANDBOX=", 0) != 0) {
            variables.emplace_back(entry);
        }
    }
    variables.emplace_back("QT_QPA_PLATFORM=offscreen");
    variables.emplace_back("QTWEBENGINE_DISABLE_SANDBOX=1");
    std::vector<char*> envp;
    for (std::string& v : variables) {
        envp.push_back(v.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> argv{program, "--print-pdf", page, pdf};
    std::vector<char*> args;
    for (std::string& a : argv) {
        args.push_back(a.data());
    }
    args.push_back(nullptr);

    // Whatever it writes comes here, so that a failure is the tool's one line
    // with the program's reason in it. A group of its own, so the browser
    // processes it starts end with it.
    int said[2];
    if (::pipe2(said, O_CLOEXEC) != 0) {
        err << "quillane-cli: cannot start " << program << " to write " << pdf << ": " << std::strerror(errno) << '\n';
        return false;
    }
    posix_spawn_file_actions_t files;
    ::posix_spawn_file_actions_init(&files);
    ::posix_spawn_file_actions_adddup2(&files, said[1], STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&files, said[1], STDERR_FILENO);
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    ::posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, program.c_str(), &files, &attributes, args.data(), envp.data());
    ::posix_spawn_file_actions_destroy(&files);
    ::posix_spawnattr_destroy(&attributes);
    ::close(said[1]);
    // Read while it runs: a full pipe would stop it.
    ::fcntl(said[0], F_SETFL, ::fcntl(said[0], F_GETFL) | O_NONBLOCK);
    const struct ClosedAtEnd {
        int fd;
        ~ClosedAtEnd() { ::close(fd); }
    } closed{said[0]};
    ChildOutput output;
    if (error != 0) {
        err << "quillane-cli: cannot start " << program << " to write " << pdf << ": " << std::strerror(error) << '\n';
        return false;
    }
    // A window program that never ends (one without the print flag waits for
    // a merchant) must not hold the tool for ever.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kPdfSeconds);
    int status = 0;
    bool timedOut = false;
    for (;;) {
        output.drain(said[0]);
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid || (ended < 0 && errno != EINTR)) {
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            timedOut = true;
            ::kill(-pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(-pid, SIGKILL); // whatever of its group is left
    output.drain(said[0]);
    std::error_code ec;
    if (timedOut || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || !std::filesystem::is_regular_file(pdf, ec) ||
        std::filesystem::file_size(pdf, ec) == 0) {
        err << "quillane-cli: " << program << " could not print " << page << " to " << pdf;
        if (timedOut) {
            err << " within " << kPdfSeconds << " s";
        } else if (WIFEXITED(status)) {
            err << " (exit status " << WEXITSTATUS(status) << ")";
        } else {
            err << " (ended by signal " << WTERMSIG(status) << ")";
        }
        if (const std::string reason = output.reason(); !reason.empty()) {
            err << ": " << reason;
        }
        err << '\n';
        return false;
    }
    return true;
}

// The project whose shop profile holds the invoice settings and numbers:
// the one named, else the one the window opened last, else the untitled one.
// False, with a message, when the named one does not exist.
bool invoiceDataDir(const std::string& programDir, const std::string& project, std::string& dataDir, std::ostream& err)
{
    std::string file;
    if (!project.empty()) {
        file = projectFile(programDir, project, err);
        if (file.empty()) {
            return false;
        }
    } else if (const std::vector<std::string> recent = ReadWindowMemory(programDir).RecentProjects;
               !recent.empty() && FileExists(recent.front())) {
        file = recent.front();
    }
    // The window's untitled project keeps its data in the work folder.
    dataDir = file.empty() ? MakeAppDirs(programDir).TempDir + "daten/" : ProjectDataDir(programDir, file);
    return true;
}

// A name for a URL path: every byte but the unreserved ones escaped.
std::string urlPathSegment(std::string_view name)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (std::isalnum(b) != 0 || c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
    }
    return out;
}

// Writes the number script of page. Pages of other names than the order
// view's share a folder, so each gets a script of its own (NAME.renr.js)
// and points at it: writing the next invoice must not renumber an earlier
// one. Returns the script's path.
std::string writeNumberScript(const std::string& page, std::string_view number)
{
    namespace fs = std::filesystem;
    const fs::path pagePath(page);
    const std::string folder = pagePath.has_parent_path() ? pagePath.parent_path().string() : ".";
    if (pagePath.filename() == kInvoicePageName) {
        return WriteInvoiceNumberScript(folder, number);
    }
    const std::string name = pagePath.stem().string() + "." + std::string(kInvoiceNumberScriptName);
    std::string text = ReadFile(page);
    bool pointed = false;
    for (const char quote : {'"', '\''}) {
        const std::string plain = quote + std::string(kInvoiceNumberScriptName) + quote;
        if (text.find(plain) != std::string::npos) {
            text = ReplaceAll(text, plain, quote + urlPathSegment(name) + quote, false);
            pointed = true;
        }
    }
    if (!pointed) {
        // A page that does not load the script by its usual name gets it as usual.
        return WriteInvoiceNumberScript(folder, number);
    }
    WriteFileAtomic(page, text, FileAccess::OwnerOnly);
    const std::string script = IncludeTrailingSlash(folder) + name;
    WriteFileAtomic(script, InvoiceNumberScript(number), FileAccess::OwnerOnly);
    return script;
}

int invoice(const std::string& programDir, const InvoiceOptions& options, std::ostream& out, std::ostream& err)
{
    TAppDirs dirs = MakeAppDirs(programDir);
    if (!invoiceDataDir(programDir, options.Project, dirs.DataDir, err)) {
        return 1;
    }
    const Order order = ReadOrder(programDir, options.OrderId);
    TUserData user;
    ReadUserData(programDir, DefaultCountryFor(SystemLanguageName()), user);

    // A written invoice uses its number up, so the next one gets the next
    // number; printed, it also moves the order to the done ones, as the
    // window's print does.
    const bool claim = !options.Preview;
    const bool done = !options.Pdf.empty() || options.Done;
    if (options.Preview && done) {
        err << "quillane-cli: --preview uses no number up, so it cannot go with --pdf or --done\n";
        return 1;
    }
    const std::string number =
        options.Number ? *options.Number : ProposedInvoiceNumber(programDir, dirs.DataDir, order.Id());
    if (claim && Trim(number).empty()) {
        throw Error(msg::OrdersInvoiceNumberEmpty, {order.Id()});
    }
    if (const std::string other = claim ? OrderWithInvoiceNumber(programDir, number, order.Id()) : std::string();
        !other.empty()) {
        throw Error(msg::OrdersInvoiceNumberTaken, {number, other});
    }

    namespace fs = std::filesystem;
    const std::string page =
        options.Out.empty() ? (fs::current_path() / std::string(kInvoicePageName)).string() : options.Out;
    const std::vector<std::string> written = BuildInvoicePage(MakeInvoiceSetup(dirs, user, today()), order, page);
    const std::string script = writeNumberScript(page, number);
    out << written[0] << '\n' << script << '\n';
    for (std::size_t i = 1; i < written.size(); ++i) {
        out << written[i] << '\n';
    }
    if (!options.Pdf.empty()) {
        if (!printToPdf(page, options.Pdf, err)) {
            return 1;
        }
        out << options.Pdf << '\n';
    }
    if (done) {
        RecordInvoice(programDir, dirs.DataDir, order.Id(), number);
    } else if (claim) {
        ClaimInvoiceNumber(programDir, dirs.DataDir, order.Id(), number);
    }
    return 0;
}

struct ImportOptions {
    std::string Project;
    std::string File;
    ImportChoices Choices;
    bool Update = false;
    bool DryRun = false;
    std::size_t FirstRow = 1; // rows of the file, as its reader numbers them
    std::size_t LastRow = static_cast<std::size_t>(-1);
};

// "5" or "5-": row 5 to the last; "5-20": rows 5 to 20 of the file.
void parseRows(const std::string& text, ImportOptions& options)
{
    const std::size_t dash = text.find('-');
    std::int32_t first = 0;
    std::int32_t last = 0;
    const bool open = dash == std::string::npos || dash + 1 == text.size();
    if (!TryParseInteger(text.substr(0, dash), first) || first < 1 ||
        (!open && (!TryParseInteger(text.substr(dash + 1), last) || last < first))) {
        throw Error(msg::ImportCliRows, {text});
    }
    options.FirstRow = static_cast<std::size_t>(first);
    options.LastRow = open ? static_cast<std::size_t>(-1) : static_cast<std::size_t>(last);
}

ImportOptions parseImport(const std::vector<std::string>& args)
{
    ImportOptions options;
    std::vector<std::string> positional;
    ImportColumns& columns = options.Choices.Columns;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) {
                throw Error(msg::ImportCliNeedsValue, {a});
            }
            return args[++i];
        };
        if (a == "--group") {
            columns.Group = ColumnIndex(value());
        } else if (a == "--name") {
            columns.Name = ColumnIndex(value());
        } else if (a == "--orderno") {
            columns.OrderNo = ColumnIndex(value());
        } else if (a == "--price") {
            columns.Price = ColumnIndex(value());
        } else if (a == "--main") {
            options.Choices.MainGroup = Utf8ToCp1252(value());
        } else if (a == "--sub") {
            options.Choices.SubGroup = Utf8ToCp1252(value());
        } else if (a == "--rows") {
            parseRows(value(), options);
        } else if (a == "--gross") {
            options.Choices.PriceEntryMode = PriceEntry::Gross;
        } else if (a == "--update") {
            options.Update = true;
        } else if (a == "--dry-run") {
            options.DryRun = true;
        } else if (a.rfind("--", 0) == 0) {
            throw Error(msg::ImportCliUnknownOption, {a});
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) {
        throw Error(msg::ImportCliNeedsProjectAndFile);
    }
    options.Project = positional[0];
    options.File = positional[1];
    std::string missing;
    const std::pair<std::size_t, const char*> needed[] = {{columns.Group, "--group"},
                                                          {columns.Name, "--name"},
                                                          {columns.OrderNo, "--orderno"},
                                                          {columns.Price, "--price"}};
    for (const auto& [column, option] : needed) {
        const bool wanted = !options.Update || column == columns.OrderNo || column == columns.Price;
        if (wanted && column == ImportColumns::kUnset) {
            missing += std::string(missing.empty() ? "" : ", ") + option;
        }
    }
    if (!missing.empty()) {
        throw Error(msg::ImportCliMissingColumns, {missing});
    }
    return options;
}

// The file's rows FIRST to LAST as indices into the grid, which leaves out empty rows.
void chooseRows(const ImportGrid& grid, const ImportOptions& options, ImportChoices& choices)
{
    const auto first = std::lower_bound(grid.Rows.begin(), grid.Rows.end(), options.FirstRow,
                                        [](const GridRow& r, std::size_t n) { return r.Row < n; });
    const auto end = std::upper_bound(grid.Rows.begin(), grid.Rows.end(), options.LastRow,
                                      [](std::size_t n, const GridRow& r) { return n < r.Row; });
    choices.FirstRow = static_cast<std::size_t>(first - grid.Rows.begin());
    if (end <= first) {
        choices.LastRow = 0;
        choices.FirstRow = grid.Rows.size(); // nothing
    } else {
        choices.LastRow = static_cast<std::size_t>(end - grid.Rows.begin()) - 1;
    }
}

void printSkipped(const std::vector<SkippedRow>& skipped, std::ostream& out)
{
    for (const SkippedRow& s : skipped) {
        out << "skipped row " << s.Row << ": " << utf8(EnglishText(s.Reason)) << '\n';
    }
}

int importItems(const std::string& programDir, const std::vector<std::string>& args, std::ostream& out,
                std::ostream& err)
{
    ImportOptions options = parseImport(args);
    const std::string file = projectFile(programDir, options.Project, err);
    if (file.empty()) {
        return 1;
    }
    OpenedProject opened(programDir, file, OpenedProject::Texts::None);
    const TUserData& user = opened.User;
    CatalogStore& store = opened.Store;
    Project& project = opened.Opened;
    store.SetChangeListener([&project] { project.Changes(true); });

    ImportGrid grid = ReadImportFile(options.File);
    chooseRows(grid, options, options.Choices);
    // A row of headings is no item, as the window's tick says.
    options.Choices.HeaderRow = HasHeaderRow(grid, options.Choices.Columns.Price);
    std::size_t added = 0;
    std::size_t replaced = 0;
    std::size_t updated = 0;
    std::vector<SkippedRow> skipped;
    std::vector<DiscontinuedItem> discontinued;
    if (options.Update) {
        const PriceUpdateResult r = options.DryRun ? PreviewPriceUpdate(store, grid, options.Choices, user.Country)
                                                   : UpdatePrices(store, grid, options.Choices, user.Country);
        updated = r.Updated;
        skipped = r.Skipped;
        discontinued = r.Discontinued;
    } else {
        const ImportResult r = options.DryRun ? PreviewImport(store, grid, options.Choices, user.Country)
                                              : ImportRows(store, grid, options.Choices, user.Country);
        added = r.Added;
        replaced = r.Replaced;
        skipped = r.Skipped;
    }
    if (project.Changed()) {
        project.Save();
    }
    out << "added " << added << ", replaced " << replaced << ", updated " << updated << ", skipped " << skipped.size()
        << ", discontinued " << discontinued.size() << '\n';
    printSkipped(skipped, out);
    for (const DiscontinuedItem& d : discontinued) {
        out << "discontinued\t" << utf8(d.GroupPath) << '\t' << utf8(d.OrderNo) << '\t' << utf8(d.Name) << '\t'
            << utf8(d.Price) << '\n';
    }
    if (options.DryRun) {
        out << "dry run: nothing was written\n";
    }
    return 0;
}

int listing(const std::string& programDir, const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::optional<std::string> shopUrl;
    std::vector<std::string> positional;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--shop-url" && i + 1 < args.size()) {
            shopUrl = Utf8ToCp1252(args[++i]);
        } else if (args[i].rfind("--", 0) == 0) {
            throw Error(msg::ListingUnknownOption, {args[i]});
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 2) {
        throw Error(msg::ListingNeedsArguments);
    }
    const std::string file = projectFile(programDir, positional[0], err);
    if (file.empty()) {
        return 1;
    }
    OpenedProject opened(programDir, file, OpenedProject::Texts::Interface);
    const TAppDirs& dirs = opened.Dirs;
    const TUserData& user = opened.User;
    const TextTables& texts = opened.Tables;

    const AuctionItem item = ReadAuctionItem(dirs.TempDir, dirs.DataDir, Utf8ToCp1252(positional[1]),
                                             user.Country.Language, user.Country.Language);
    AuctionChoices choices = LoadAuctionChoices(programDir, dirs.DataDir, item.OrderNo, texts.ComboTexts[4]);
    if (shopUrl) {
        choices.ShopURL = *shopUrl;
    }
    choices.ShopURL = CompleteShopUrl(choices.ShopURL);
    if (ShopUrlMissing(choices.ShopURL)) {
        throw Error(msg::ListingNoShopUrl);
    }
    AuctionSetup setup;
    setup.ProgramDir = programDir;
    setup.TempDir = dirs.TempDir;
    setup.DataDir = dirs.DataDir;
    setup.EbayTexts = texts.EbayTexts;
    // The listing is read by the merchant's customers: every word of it in the language of its other texts.
    setup.Say = [&texts](const Message& message) { return texts.Say(message); };
    out << utf8(CreateItemDescription(setup, item, choices));
    return 0;
}

int setup(const std::string& programDir, const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::optional<std::string> home;
    std::vector<std::string> also;
    bool inAlso = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--country") {
            if (i + 1 >= args.size() || home) {
                err << "quillane-cli: setup needs one home country after --country\n";
                return 1;
            }
            home = args[++i];
            inAlso = false;
        } else if (args[i] == "--also") {
            inAlso = true;
        } else if (inAlso && args[i].rfind("--", 0) != 0) {
            also.push_back(args[i]);
        } else {
            err << "quillane-cli: setup knows no argument " << args[i] << '\n';
            return 1;
        }
    }
    if (!home) {
        err << "quillane-cli: setup needs the home country: --country NAME\n";
        return 1;
    }
    // Every name is checked before anything is written.
    const std::string table = CountryTablePath(programDir);
    const std::string homeName = FindCountry(table, Utf8ToCp1252(*home));
    std::vector<std::string> served;
    for (const std::string& name : also) {
        served.push_back(FindCountry(table, Utf8ToCp1252(name)));
    }
    SetUpCountries(programDir, homeName, served);
    std::string joined;
    for (const std::string& name : ServedCountries(table)) {
        joined += (joined.empty() ? "" : ",") + name;
    }
    out << "Country.Name=" << utf8(homeName) << '\n' << "ServedCountries=" << utf8(joined) << '\n';
    return 0;
}

// A program folder the program never started with: missing or empty.
bool isNewProgramDir(const std::string& programDir)
{
    std::error_code ec;
    return !std::filesystem::exists(programDir, ec) || std::filesystem::is_empty(programDir, ec);
}

} // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::string home;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--home") {
            if (i + 1 >= args.size()) {
                err << "quillane-cli: --home needs a folder\n";
                return 1;
            }
            home = args[++i];
        } else if (args[i].rfind("--home=", 0) == 0) {
            home = args[i].substr(7);
        } else if (args[i] == "--help" || args[i] == "-h") {
            out << kUsage;
            return 0;
        } else {
            rest.push_back(args[i]);
        }
    }
    if (rest.empty()) {
        err << kUsage;
        return 1;
    }
    const std::string programDir = IncludeTrailingSlash(home.empty() ? DefaultProgramDir() : home);
    // A merchant may start with the tool alone: it fills a new folder as the window's first start does.
    if (isNewProgramDir(programDir) && !SeedProgramDir(programDir, ShippedDataDir(executableDir()))) {
        err << "quillane-cli: " << EnglishText(Message{msg::FirstStartProgramDirNotCreated, {programDir}}) << '\n';
        return 1;
    }
    if (!DirectoryExists(programDir)) {
        err << "quillane-cli: the program folder " << programDir << " does not exist\n";
        return 1;
    }
    if (::access(programDir.c_str(), R_OK | X_OK) != 0) {
        err << "quillane-cli: the program folder " << programDir << " cannot be read\n";
        return 1;
    }
    try {
        if (rest[0] == "info" && rest.size() == 1) {
            return info(programDir, out);
        }
        if (rest[0] == "setup") {
            return setup(programDir, rest, out, err);
        }
        if (rest[0] == "generate" && rest.size() == 2) {
            return generate(programDir, rest[1], out, err);
        }
        if (rest[0] == "upload" && (rest.size() == 2 || (rest.size() == 3 && rest[2] == "--changed-only"))) {
            return upload(programDir, rest[1], rest.size() == 3, out, err);
        }
        if (rest[0] == "orders" && rest.size() == 2 && rest[1] == "fetch") {
            return fetchOrders(programDir, out, err);
        }
        if (rest[0] == "orders" && rest.size() >= 2 && rest.size() <= 3 && rest[1] == "list") {
            if (rest.size() == 2) {
                return listOrders(programDir, std::nullopt, out);
            }
            if (rest[2] == "--new" || rest[2] == "--done") {
                return listOrders(programDir, rest[2] == "--new" ? OrderState::New : OrderState::Done, out);
            }
        }
        if (rest[0] == "invoice") {
            InvoiceOptions options;
            if (!parseInvoiceOptions(rest, options, err)) {
                return 1;
            }
            return invoice(programDir, options, out, err);
        }
        if (rest[0] == "import") {
            return importItems(programDir, rest, out, err);
        }
        if (rest[0] == "listing") {
            return listing(programDir, rest, out, err);
        }
        err << "quillane-cli: unknown command: " << rest[0] << "\n" << kUsage;
        return 1;
    } catch (const Error& e) {
        err << "quillane-cli: " << utf8(e.what()) << '\n';
        return 1;
    } catch (const std::exception& e) {
        err << "quillane-cli: " << e.what() << '\n';
        return 1;
    }
}

} // namespace quillane::cli
