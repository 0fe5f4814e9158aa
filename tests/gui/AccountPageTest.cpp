#include "gui/online/AccountPage.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "gui/app/Application.h"
#include "gui/app/MainWindow.h"
#include "gui/orders/OrdersPage.h"

#include "GuiTestSupport.h"
#include "NetPeers.h"

#include <QAction>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <optional>
#include <string_view>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#ifndef QUILLANE_ORDERD
#error "QUILLANE_ORDERD must name the built quillane-orderd"
#endif

using namespace quillane;
using namespace quillane::gui;
using namespace quillane::gui::test;
using quillane::test::netpeer::Process;
using quillane::test::netpeer::python;
using quillane::test::netpeer::readAll;
using quillane::test::netpeer::ScratchDir;

namespace {

// A server started by the test, reached at address() once it names its port.
class Server {
public:
    Server(std::vector<std::string> argv, const char* pattern)
    {
        process_.emplace(argv, dir_.file("out"));
        const QRegularExpression port(QString::fromUtf8(pattern));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (address_.isEmpty()) {
            const QRegularExpressionMatch m = port.match(QString::fromStdString(readAll(dir_.file("out"))));
            if (m.hasMatch()) {
                address_ = QStringLiteral("http://127.0.0.1:%1/").arg(m.captured(1));
            } else if (!process_->running() || std::chrono::steady_clock::now() > deadline) {
                throw std::runtime_error(argv[0] + " did not come up:\n" + readAll(dir_.file("out")));
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
    }

    const QString& address() const { return address_; }
    std::string folder(const std::string& name) const { return dir_.file(name); }

private:
    ScratchDir dir_;
    std::optional<Process> process_;
    QString address_;
};

// The order service we ship, on SQLite in a fresh folder, with cheap hashes.
Server orderService(const ScratchDir& data)
{
    return Server({QUILLANE_ORDERD, "serve", "--listen", "127.0.0.1:0", "--data", data.file("store"), "--hash-ops", "1",
                   "--hash-mem", "8"},
                  "listening on http://127\\.0\\.0\\.1:(\\d+)/");
}

// Another site on 127.0.0.1 that serves the files of folder.
Server otherSite(const std::string& folder)
{
    return Server({python(), "-u", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory", folder},
                  "port (\\d+)");
}

// A port on 127.0.0.1 that nothing listens on: one just taken and let go.
int closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("no free port on 127.0.0.1");
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

void runScript(QWebEngineView* view, const QString& script)
{
    view->page()->runJavaScript(script);
}

} // namespace

class AccountPageTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("LC_ALL", "de_DE.UTF-8"); }

    // The service's pages name a new account, which the program takes over
    // and fetches orders with; pages without the comments and pages of
    // another site change nothing.
    void takesOverTheAccountFromTheServiceOnly()
    {
        const ScratchDir data;
        const Server service = orderService(data);
        QTemporaryDir dir;
        const std::string settings =
            "[Account]\r\nCountry=Austria\r\nUserID=alt name\r\nPassword=alt&pass\r\n[Connection]\r\nconnection=1\r\n"
            "[Services]\r\nOrderService=" +
            fromQ(service.address()) + "\r\n";
        const std::string home = makeHome(dir, settings.c_str());
        const auto stored = [&](const char* key) {
            return toQ(IniFile(home + "quillane.ini").ReadString("Account", key, "<none>"));
        };

        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        AccountPage* page = main->accountPage();
        QCOMPARE(page->objectName(), QStringLiteral("AccountPage"));
        QVERIFY(main->actions().mAccountmanager->isEnabled());
        QVERIFY(page->findChild<QWebEngineView*>(QStringLiteral("WebBrowser1")) == nullptr);
        QSignalSpy checked(page, &AccountPage::documentChecked);

        // The stored account is refused: a page without the comments.
        main->actions().mAccountmanager->trigger();
        QCOMPARE(main->findChild<QTabWidget*>(QStringLiteral("Pages"))->currentWidget(), page);
        auto* view = child<QWebEngineView>(page, "WebBrowser1");
        QTRY_COMPARE_WITH_TIMEOUT(checked.size(), 1, 20000);
        QCOMPARE(view->url().toEncoded(),
                 service.address().toUtf8() +
                     "qln/shopscripts/accountmanager.php4?Country=AT&Action=show&UserID=alt+name&password=alt%26pass");
        QCOMPARE(checked[0][1].toBool(), false);
        QCOMPARE(stored("UserID"), QStringLiteral("alt name"));
        QCOMPARE(stored("Password"), QStringLiteral("alt&pass"));

        // The merchant creates an account on the page: the answer names it.
        runScript(view, QStringLiteral("var f = document.getElementById('create');"
                                       "f.UserID.value = 'neu.haendler'; f.password.value = 'Kenn wort&1';"
                                       "f.password2.value = 'Kenn wort&1'; f.submit();"));
        QTRY_COMPARE_WITH_TIMEOUT(checked.size(), 2, 20000);
        QCOMPARE(checked[1][1].toBool(), true);
        QCOMPARE(stored("UserID"), QStringLiteral("neu.haendler"));
        QCOMPARE(stored("Password"), QStringLiteral("Kenn wort&1"));
        QCOMPARE(toQ(app.state().User.UserID), QStringLiteral("neu.haendler"));
        QCOMPARE(toQ(app.state().User.Password), QStringLiteral("Kenn wort&1"));
        QVERIFY(app.state().StartupStatus.empty());

        // Shown again, the page logs in with the new account.
        main->actions().mArtikelverw->trigger();
        main->findChild<QTabWidget*>(QStringLiteral("Pages"))->setCurrentWidget(page);
        QTRY_COMPARE_WITH_TIMEOUT(checked.size(), 3, 20000);
        QVERIFY(view->url().toEncoded().endsWith("&UserID=neu.haendler&password=Kenn+wort%261"));
        QString shown;
        view->page()->runJavaScript(QStringLiteral("document.getElementById('account') !== null"),
                                    [&](const QVariant& v) { shown = v.toString(); });
        QTRY_COMPARE(shown, QStringLiteral("true"));

        // Another site on the same host with the comments, reached from the
        // account page: nothing is taken over.
        const Server foreign = otherSite(data.file("."));
        WriteTextFile(data.file("foreign.html"), "<html><body><p>Willkommen</p>\n<!-- UserID=intruder -->\n"
                                                 "<!-- Password=stolen -->\n</body></html>");
        runScript(view, QStringLiteral("location.href = '%1foreign.html';").arg(foreign.address()));
        QTRY_COMPARE_WITH_TIMEOUT(checked.size(), 4, 20000);
        QCOMPARE(checked[3][0].toString(), foreign.address() + QStringLiteral("foreign.html"));
        QCOMPARE(checked[3][1].toBool(), false);
        QCOMPARE(stored("UserID"), QStringLiteral("neu.haendler"));
        QCOMPARE(stored("Password"), QStringLiteral("Kenn wort&1"));
        QCOMPARE(toQ(app.state().User.UserID), QStringLiteral("neu.haendler"));

        // The next order fetch goes out with the account taken over: the
        // service accepts it.
        main->actions().mBestellung->trigger();
        QTest::mouseClick(child<QPushButton>(main->ordersPage(), "Bestellungen"), Qt::LeftButton);
        QCOMPARE(prompter.told.size(), 1);
        QCOMPARE(prompter.told[0], lng(home, "deutsch", "MsgBox", "24"));
        main->close();
    }

    // Logging in on the service's page with an account other than the
    // stored one makes it the program's, as creating one does.
    void aPlainLoginHandsTheAccountToTheProgram()
    {
        const ScratchDir data;
        const Server service = orderService(data);
        QTemporaryDir dir;
        const std::string settings = "[Account]\r\nCountry=Germany\r\nUserID=\r\nPassword=\r\n[Connection]\r\n"
                                     "connection=1\r\n[Services]\r\nOrderService=" +
                                     fromQ(service.address()) + "\r\n";
        const std::string home = makeHome(dir, settings.c_str());
        const auto stored = [&](const char* key) {
            return toQ(IniFile(home + "quillane.ini").ReadString("Account", key, "<none>"));
        };

        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        AccountPage* page = main->accountPage();
        QSignalSpy checked(page, &AccountPage::documentChecked);
        main->actions().mAccountmanager->trigger();
        auto* view = child<QWebEngineView>(page, "WebBrowser1");
        QTRY_COMPARE_WITH_TIMEOUT(checked.size(), 1, 20000);

        // An account made here, then another one stored meanwhile.
        runScript(view, QStringLiteral("var f = document.getElementById('create');"
                                       "f.UserID.value = 'laden.eins'; f.password.value = 'Sommer-2026';"
                                       "f.password2.value = 'Sommer-2026'; f.submit();"));
        QTRY_COMPARE_WITH_TIMEOUT(checked.size(), 2, 20000);
        QCOMPARE(checked[1][1].toBool(), true);
        {
            IniFile ini(home + "quillane.ini");
            ini.WriteString("Account", "UserID", "anderer");
            ini.WriteString("Account", "Password", "altes");
            ini.UpdateFile();
        }
        runScript(view, QStringLiteral("location.href = 'accountmanager.php4?Country=DE';"));
        QTRY_COMPARE_WITH_TIMEOUT(checked.size(), 3, 20000);
        QCOMPARE(checked[2][1].toBool(), false);
        QCOMPARE(stored("UserID"), QStringLiteral("anderer"));

        // A wrong password takes nothing over; the right one does.
        for (const char* password : {"falsch-2026", "Sommer-2026"}) {
            const int before = static_cast<int>(checked.size());
            runScript(view, QStringLiteral("var f = document.getElementById('login');"
                                           "f.UserID.value = 'laden.eins'; f.password.value = '%1'; f.submit();")
                                .arg(QString::fromUtf8(password)));
            QTRY_COMPARE_WITH_TIMEOUT(static_cast<int>(checked.size()), before + 1, 20000);
            const bool right = std::string_view(password) == "Sommer-2026";
            QCOMPARE(checked[before][1].toBool(), right);
            QCOMPARE(stored("UserID"), right ? QStringLiteral("laden.eins") : QStringLiteral("anderer"));
            QCOMPARE(stored("Password"), right ? QStringLiteral("Sommer-2026") : QStringLiteral("altes"));
        }
        QCOMPARE(toQ(app.state().User.UserID), QStringLiteral("laden.eins"));
        QCOMPARE(toQ(app.state().User.Password), QStringLiteral("Sommer-2026"));
        main->close();
    }

    // A service that cannot be reached shows our page in the merchant's
    // language with the address and the reason, not the engine's own.
    void anUnreachableServiceShowsOurOwnPage()
    {
        QTemporaryDir dir;
        const std::string address = "http://127.0.0.1:" + std::to_string(closedPort()) + "/";
        const std::string settings = "[Account]\r\nCountry=Germany\r\nUserID=a\r\nPassword=b\r\n[Connection]\r\n"
                                     "connection=1\r\n[Services]\r\nOrderService=" +
                                     address + "\r\n";
        const std::string home = makeHome(dir, settings.c_str());
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        main->actions().mAccountmanager->trigger();
        auto* view = child<QWebEngineView>(main->accountPage(), "WebBrowser1");
        const QString headline = lng(home, "deutsch", "Messages", "OnlineServiceUnreachable");
        QString shown;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                view->page()->toPlainText([&](const QString& text) { shown = text; });
                QTest::qWait(50);
                return shown.startsWith(headline);
            }(),
            20000);
        QVERIFY2(shown.contains(toQ(address)), qPrintable(shown));
        QVERIFY2(!shown.contains(QStringLiteral("Password=b"), Qt::CaseInsensitive), qPrintable(shown));
        QVERIFY2(shown.contains(lng(home, "deutsch", "Messages", "OnlineTryAgain")), qPrintable(shown));
        QVERIFY(prompter.told.isEmpty());
        main->close();
    }

    // Without a connection the tab shows and nothing loads.
    void noConnectionLoadsNothing()
    {
        QTemporaryDir dir;
        const std::string home =
            makeHome(dir, "[Account]\r\nCountry=Germany\r\nUserID=a\r\nPassword=b\r\n[Connection]\r\nconnection=3\r\n"
                          "[Services]\r\nOrderService=http://127.0.0.1:9/\r\n");
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        main->actions().mAccountmanager->trigger();
        QCOMPARE(main->findChild<QTabWidget*>(QStringLiteral("Pages"))->currentWidget(), main->accountPage());
        auto* view = child<QWebEngineView>(main->accountPage(), "WebBrowser1");
        QVERIFY(view->url().isEmpty());
        QVERIFY(prompter.told.isEmpty());
        main->close();
    }
};

QTEST_MAIN(AccountPageTest)
#include "AccountPageTest.moc"
