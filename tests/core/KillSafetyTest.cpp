// Runs killed with SIGKILL at random moments, the way a crash or a power cut
// stops them: what they leave must be the state before or the state after,
// file by file and shop by shop, and the next run must finish the work.
//
// QUILLANE_KILL_RUNS=N kills each run N times (a few by default);
// QUILLANE_KILL_SEED=S replays the moments of a run that failed (every
// failure names its seed).

#include "../ShopFixture.h"
#include "NetPeers.h"
#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "cli/CliApp.h"
#include "core/catalog/CatalogStore.h"
#include "core/catalog/Project.h"
#include "core/common/Files.h"
#include "core/i18n/LanguageFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace quillane;
using quillane::test::FtpPeer;
using quillane::test::TempDir;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Files = std::map<std::string, std::string>;

namespace {

int killRuns()
{
    const char* runs = std::getenv("QUILLANE_KILL_RUNS");
    return runs != nullptr ? std::max(1, std::atoi(runs)) : 6;
}

// The moments of one test: seeded from QUILLANE_KILL_SEED or at random, and
// printed, so a failure can be replayed.
struct Moments {
    std::uint32_t seed;
    std::mt19937 random;

    explicit Moments(const char* what)
        : seed([] {
              const char* given = std::getenv("QUILLANE_KILL_SEED");
              return given != nullptr ? static_cast<std::uint32_t>(std::strtoul(given, nullptr, 10))
                                      : std::random_device{}();
          }()),
          random(seed)
    {
        std::cout << what << ": QUILLANE_KILL_SEED=" << seed << ", " << killRuns() << " kills\n";
    }

    Clock::duration within(Clock::duration length)
    {
        std::uniform_int_distribution<std::int64_t> pick(0, std::max<std::int64_t>(1, length.count()));
        return Clock::duration(pick(random));
    }
};

// The files under folder, without those a run keeps for itself.
Files filesUnder(const std::string& folder, const std::function<bool(const std::string&)>& ignored = {})
{
    Files files = test::filesUnder(folder);
    std::erase_if(files, [&](const auto& file) { return ignored && ignored(file.first); });
    return files;
}

std::optional<std::string> fileIn(const Files& files, const std::string& name)
{
    const auto it = files.find(name);
    return it == files.end() ? std::nullopt : std::optional<std::string>(it->second);
}

// What a killed run may leave beside the files it writes: a file or a shop
// it was building, never read in place of the real one, and cleared by the
// next run (which the comparison after it checks).
bool builtBeside(const std::string& name)
{
    return name.ends_with(".~new") || name.find("shop.new/") != std::string::npos;
}

// The names whose bytes are neither those before nor those after.
std::string neitherOldNorNew(const Files& before, const Files& after, const Files& now, bool besideAllowed = false)
{
    std::set<std::string> names;
    for (const Files* files : {&before, &after, &now}) {
        for (const auto& [name, bytes] : *files) {
            names.insert(name);
        }
    }
    std::string wrong;
    for (const std::string& name : names) {
        const auto current = fileIn(now, name);
        if (besideAllowed && builtBeside(name) && !fileIn(before, name) && !fileIn(after, name)) {
            continue;
        }
        if (current != fileIn(before, name) && current != fileIn(after, name)) {
            wrong += " " + name + (current ? " (" + std::to_string(current->size()) + " bytes)" : " (missing)");
        }
    }
    return wrong;
}

// Starts quillane-cli in a process of its own with args.
pid_t startCli(std::vector<std::string> args, const std::string& tmp)
{
    // The helper kills itself at a progress line; none starts like this.
    args.insert(args.begin(), {QUILLANE_KILLED_RUN, "\x01"});
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    ::setenv("TMPDIR", tmp.c_str(), 1);
    pid_t pid = 0;
    const int started = ::posix_spawn(&pid, QUILLANE_KILLED_RUN, nullptr, nullptr, argv.data(), environ);
    ::unsetenv("TMPDIR");
    if (started != 0) {
        ADD_FAILURE() << "cannot start " << QUILLANE_KILLED_RUN << ": " << std::strerror(started);
        return -1;
    }
    return pid;
}

// How a child ended: "exit N" or "signal N".
std::string reap(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status))
                               : "exit " + std::to_string(WEXITSTATUS(status));
}

int runCli(const std::vector<std::string>& args, const std::string& tmp, std::string& err)
{
    ::setenv("TMPDIR", tmp.c_str(), 1);
    std::ostringstream out, errors;
    const int code = cli::RunCli(args, out, errors);
    ::unsetenv("TMPDIR");
    err = errors.str();
    return code;
}

// A program folder that is put back to the state a run starts from before
// every run, always at the same path: files hold the path of the folder.
struct Stage {
    TempDir dir;
    TempDir tmp;
    std::string home = dir.file("home/");
    std::string saved = dir.file("saved/");

    void keep()
    {
        fs::remove_all(saved);
        fs::copy(home, saved, fs::copy_options::recursive);
    }
    void restore()
    {
        fs::remove_all(home);
        fs::copy(saved, home, fs::copy_options::recursive);
        fs::remove_all(tmp.path());
        fs::create_directories(tmp.path());
    }
    std::string project() const { return home + "Projekte/"; }
};

// What a command of the tool leaves in the projects folder and in the shop.
struct State {
    Files project; // the catalog, the profiles, the descriptions
    Files shop;

    static State of(const Stage& stage, const std::function<bool(const std::string&)>& ignored)
    {
        return {filesUnder(stage.project(),
                           [&](const std::string& name) {
                               return name.starts_with("Alpha/shop/") || (ignored && ignored(name));
                           }),
                filesUnder(stage.project() + "Alpha/shop/")};
    }
};

struct Command {
    const char* what;
    std::vector<std::string> args;
    std::function<bool(const std::string&)> ignored; // files of the projects folder a run may leave as it likes
    std::function<void()> fromTheStart = {};         // after the program folder was put back
    std::function<std::string()> afterNextRun = {};  // what is wrong once the next run ended
};

// Kills the command at random moments within the length of an undisturbed
// run, checks what each killed run leaves, and that the next run ends as an
// undisturbed one does.
void killAtRandom(Stage& stage, const Command& c)
{
    Moments moments(c.what);
    const auto replay = [&] { return std::string(c.what) + ", QUILLANE_KILL_SEED=" + std::to_string(moments.seed); };
    stage.keep();
    stage.restore();
    const State before = State::of(stage, c.ignored);

    if (c.fromTheStart) {
        c.fromTheStart();
    }
    const Clock::time_point start = Clock::now();
    const pid_t whole = startCli(c.args, stage.tmp.path());
    ASSERT_GT(whole, 0);
    ASSERT_EQ(reap(whole), "exit 0") << replay();
    const Clock::duration length = Clock::now() - start;
    const State after = State::of(stage, c.ignored);
    if (!c.afterNextRun) {
        ASSERT_FALSE(after.project == before.project && after.shop == before.shop)
            << c.what << ": the run changes nothing to check";
    }
    // A run over a finished one is what the next run may meet too.
    std::string err;
    ASSERT_EQ(runCli(c.args, stage.tmp.path(), err), 0) << replay() << ": " << err;
    const State again = State::of(stage, c.ignored);

    int killed = 0;
    for (int run = 0; run < killRuns(); ++run) {
        stage.restore();
        if (c.fromTheStart) {
            c.fromTheStart();
        }
        const pid_t pid = startCli(c.args, stage.tmp.path());
        ASSERT_GT(pid, 0);
        const Clock::duration wait = moments.within(length);
        std::this_thread::sleep_for(wait);
        ::kill(pid, SIGKILL);
        const std::string ended = reap(pid);
        killed += ended == "signal 9";
        const std::string at = replay() + ", run " + std::to_string(run) + " killed after " +
                               std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(wait).count()) +
                               " us (" + ended + ")";

        const State left = State::of(stage, c.ignored);
        EXPECT_EQ(neitherOldNorNew(before.project, after.project, left.project, true), "") << at;
        EXPECT_TRUE(left.shop == before.shop || left.shop == after.shop)
            << at << ": the shop is neither the earlier nor the new one"
            << neitherOldNorNew(before.shop, after.shop, left.shop);

        ASSERT_EQ(runCli(c.args, stage.tmp.path(), err), 0) << at << ": the next run failed: " << err;
        const State next = State::of(stage, c.ignored);
        EXPECT_TRUE(next.shop == after.shop)
            << at << ": the next run's shop differs" << neitherOldNorNew(after.shop, after.shop, next.shop);
        EXPECT_TRUE(next.project == after.project || next.project == again.project)
            << at << ": the next run's projects folder differs:"
            << neitherOldNorNew(after.project, again.project, next.project);
        if (c.afterNextRun) {
            EXPECT_EQ(c.afterNextRun(), "") << at;
        }
        if (::testing::Test::HasFailure()) {
            return;
        }
    }
    std::cout << c.what << ": " << killed << " of " << killRuns() << " runs were killed before they ended\n";
}

// Alpha's shop as generated, then a catalog that changed since.
void generatedAndChanged(Stage& stage, int added = 200)
{
    test::makeShopHome(stage.home);
    std::string err;
    ASSERT_EQ(runCli({"--home", stage.home, "generate", "Alpha"}, stage.tmp.path(), err), 0) << err;
    std::string items = ReadFile(stage.home + "Projekte/Alpha.shp");
    items.replace(items.find("49.90"), 5, "44.90");
    for (int i = 0; i < added; ++i) {
        items +=
            "C" + std::to_string(i) + "=Socke " + std::to_string(i) + "|" + std::to_string(i % 9 + 1) + ".50||||\r\n";
    }
    WriteTextFile(stage.home + "Projekte/Alpha.shp", items);
}

} // namespace

TEST(KillSafety, AKilledGenerateLeavesTheEarlierShopOrTheNewOne)
{
    Stage stage;
    generatedAndChanged(stage);
    ASSERT_FALSE(HasFatalFailure());
    // The list of picture sets a run keeps for the next one names inodes and
    // times, so it differs from run to run; a damaged one only costs time.
    const auto pictureSets = [](const std::string& name) { return name == "Alpha/daten/pictures.sets"; };
    killAtRandom(stage, {"generate", {"--home", stage.home, "generate", "Alpha"}, pictureSets});
}

TEST(KillSafety, AKilledImportLeavesTheEarlierCatalogOrTheNewOne)
{
    Stage stage;
    test::makeShopHome(stage.home);
    std::string rows;
    for (int i = 0; i < 400; ++i) {
        rows += "Kleidung|Socken " + std::to_string(i / 40) + ";Socke " + std::to_string(i) + ";S" + std::to_string(i) +
                ";" + std::to_string(i % 20 + 1) + ",50\n";
    }
    rows += "Kleidung|Jacken;Winterjacke neu;A1;59,50\n";
    WriteTextFile(stage.home + "items.csv", rows);
    killAtRandom(stage, {"import",
                         {"--home", stage.home, "import", "Alpha", stage.home + "items.csv", "--group", "A", "--name",
                          "B", "--orderno", "C", "--price", "D"},
                         {}});
}

TEST(KillSafety, AKilledUploadLeavesTheProjectAsItWasAndTheNextOneSendsTheWholeShop)
{
    Stage stage;
    TempDir server;
    FtpPeer peer(server.path());
    // A smaller shop: every run sends it over the loopback once or twice.
    generatedAndChanged(stage, 20);
    ASSERT_FALSE(HasFatalFailure());
    std::string err;
    ASSERT_EQ(runCli({"--home", stage.home, "generate", "Alpha"}, stage.tmp.path(), err), 0) << err;
    WriteTextFile(stage.home + "quillane.ini", "[Account]\r\nCountry=Germany\r\n[Connection]\r\nconnection=1\r\n"
                                               "[FTP]\r\nhost=127.0.0.1\r\nport=" +
                                                   std::to_string(peer.port()) + "\r\nlogin=" + peer.user() +
                                                   "\r\npass=" + peer.password() + "\r\nfolder=/www\r\n");
    const auto journal = [](const std::string& name) { return name.find(".sent-") != std::string::npos; };
    // The server's copy after an undisturbed upload (text files go in ASCII
    // mode, so it is not the shop byte for byte); then no journal of it.
    ASSERT_EQ(runCli({"--home", stage.home, "upload", "Alpha"}, stage.tmp.path(), err), 0) << err;
    const Files uploaded = filesUnder(server.file("www/"));
    ASSERT_FALSE(uploaded.empty());
    for (const auto& entry : fs::directory_iterator(stage.home + "Projekte/Alpha")) {
        if (journal(entry.path().filename().string())) {
            fs::remove(entry.path());
        }
    }
    Command upload{"upload", {"--home", stage.home, "upload", "Alpha", "--changed-only"}, journal};
    // Every run starts from an empty folder on the server, what the journal
    // of the restored program folder expects.
    upload.fromTheStart = [&] { fs::remove_all(server.file("www")); };
    // The first, undisturbed run must change something to compare: the
    // journal is left out, so the server's copy stands in for it.
    upload.afterNextRun = [&]() -> std::string {
        std::string wrong = neitherOldNorNew(uploaded, uploaded, filesUnder(server.file("www/")));
        if (!wrong.empty()) {
            return "the server's copy differs from an undisturbed upload's:" + wrong;
        }
        if (filesUnder(stage.home, journal) != filesUnder(stage.saved, journal)) {
            return "the program folder changed";
        }
        return "";
    };
    killAtRandom(stage, upload);
}

namespace {

// The window program with a project open: its files, its working copy.
struct Program {
    TAppDirs dirs;
    CatalogStore store{dirs.TempDir};
    test::ScriptedPrompter prompter;
    TextTables texts;
    Project project{dirs, store, prompter, texts};

    explicit Program(const std::string& home) : dirs(MakeAppDirs(home))
    {
        store.SetLanguages("english", "english");
        project.New(false);
    }
};

const std::string kNewPictures = "[A1]\r\n1=/p/apple.jpg\r\n[Z9]\r\n1=/p/plum.jpg\r\n";
const std::string kNewGroups = "[english]\r\n0=Fruit and more\r\n";

// Opens the project, changes every part of it, and tells ready before the
// window program's Save.
void openChangeAndSave(const std::string& home, const std::string& file, int ready)
{
    Program program(home);
    program.project.Open(file);
    program.store.LoadGroupItems(0);
    if (program.store.CurrentItems.back().first != "Z9") {
        program.store.CurrentItems.emplace_back("Z9", "Pflaume|3.00||||");
    }
    program.store.SaveGroup();
    WriteTextFile(program.dirs.TempDir + "pictures.ini", kNewPictures);
    WriteTextFile(program.dirs.TempDir + "groups.ini", kNewGroups);
    program.project.Changes(true);
    if (::write(ready, "r", 1) != 1 || !program.project.Save()) {
        ::_exit(1);
    }
}

// The child that saves: its process and the moment it started to save.
struct Saving {
    pid_t pid = -1;
    Clock::time_point saving;
};

Saving startSave(const std::string& home, const std::string& file)
{
    int fds[2];
    if (::pipe(fds) != 0) {
        return {};
    }
    std::cout.flush();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        try {
            openChangeAndSave(home, file, fds[1]);
        } catch (...) {
            ::_exit(2);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    char c = 0;
    const bool ready = pid > 0 && ::read(fds[0], &c, 1) == 1;
    ::close(fds[0]);
    return {ready || pid <= 0 ? pid : -1, Clock::now()};
}

} // namespace

TEST(KillSafety, AKilledSaveLeavesTheEarlierProjectOrTheNewOneAndItOpens)
{
    Moments moments("save");
    const auto replay = [&] { return "save, QUILLANE_KILL_SEED=" + std::to_string(moments.seed); };
    Stage stage;
    // A catalog big enough that writing it takes a while.
    std::string items = "[0]\r\nVersand=0.000\r\n";
    for (int i = 0; i < 20000; ++i) {
        items += "A" + std::to_string(i) + "=Apfel " + std::to_string(i) + "|1.00||||\r\n";
    }
    const std::string file = stage.project() + "Obst.shp";
    fs::create_directories(stage.project() + "Obst/daten");
    WriteTextFile(file, items);
    WriteTextFile(stage.project() + "Obst/daten/groups.ini", "[english]\r\n0=Fruit\r\n");
    WriteTextFile(stage.project() + "Obst/daten/pictures.ini", "[A1]\r\n1=/p/apple.jpg\r\n");
    stage.keep();
    const Files before = filesUnder(stage.project());

    const Saving whole = startSave(stage.home, file);
    ASSERT_GT(whole.pid, 0);
    ASSERT_EQ(reap(whole.pid), "exit 0");
    const Clock::duration length = Clock::now() - whole.saving;
    const Files after = filesUnder(stage.project());
    ASSERT_NE(after.at("Obst.shp"), before.at("Obst.shp"));
    ASSERT_EQ(after.at("Obst/daten/groups.ini"), kNewGroups);

    int killed = 0;
    for (int run = 0; run < killRuns(); ++run) {
        stage.restore();
        const Saving saving = startSave(stage.home, file);
        ASSERT_GT(saving.pid, 0) << replay();
        const Clock::duration wait = moments.within(length);
        std::this_thread::sleep_until(saving.saving + wait);
        ::kill(saving.pid, SIGKILL);
        const std::string ended = reap(saving.pid);
        killed += ended == "signal 9";
        const std::string at = replay() + ", run " + std::to_string(run) + " killed " +
                               std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(wait).count()) +
                               " us into the save (" + ended + ")";

        EXPECT_EQ(neitherOldNorNew(before, after, filesUnder(stage.project()), true), "") << at;
        // The program starts again and opens the project as it was left.
        {
            Program program(stage.home);
            program.project.DeclineRecovery();
            ASSERT_NO_THROW(program.project.Open(file)) << at;
            EXPECT_EQ(ReadFile(program.dirs.TempDir + "shop.tmp"), ReadFile(file)) << at;
        }
        const Saving next = startSave(stage.home, file);
        ASSERT_GT(next.pid, 0) << at;
        ASSERT_EQ(reap(next.pid), "exit 0") << at;
        EXPECT_EQ(neitherOldNorNew(after, after, filesUnder(stage.project())), "") << at << ": the next save";
        if (HasFailure()) {
            return;
        }
    }
    std::cout << "save: " << killed << " of " << killRuns() << " saves were killed before they ended\n";
}
