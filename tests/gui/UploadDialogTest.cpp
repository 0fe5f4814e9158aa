#include "gui/publish/UploadDialog.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "gui/app/Application.h"
#include "gui/app/MainWindow.h"
#include "gui/settings/SettingsDialog.h"

#include "../ShopFixture.h"
#include "GuiTestSupport.h"
#include "NetPeers.h"

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

using namespace quillane;
using namespace quillane::gui;
using namespace quillane::gui::test;
using quillane::test::FtpPeer;
using quillane::test::FtpPeerOptions;
using quillane::test::SftpPeer;

namespace {

// The program folder with project Alpha open and the server's data stored.
struct Home {
    QTemporaryDir dir;
    std::string path = dir.path().toStdString() + "/home/";

    explicit Home(const FtpPeer* peer = nullptr)
    {
        quillane::test::makeShopHome(path);
        if (peer != nullptr) {
            IniFile settings(path + "quillane.ini");
            settings.WriteString("FTP", "host", "127.0.0.1");
            settings.WriteString("FTP", "port", std::to_string(peer->port()));
            settings.WriteString("FTP", "login", peer->user());
            settings.WriteString("FTP", "pass", peer->password());
            settings.WriteString("FTP", "folder", "/shop");
            settings.UpdateFile();
        }
    }
};

// HOME in an empty folder while it lives.
struct UserHome {
    QTemporaryDir dir;
    QByteArray old = qgetenv("HOME");
    UserHome() { qputenv("HOME", dir.path().toLocal8Bit()); }
    ~UserHome() { qputenv("HOME", old); }
    UserHome(const UserHome&) = delete;
    UserHome& operator=(const UserHome&) = delete;
};

struct Window {
    ScriptedPrompter prompter;
    Application app;
    UploadDialog* dialog;

    explicit Window(const std::string& home) : app(home, &prompter), dialog(app.uploadDialog())
    {
        app.start();
        QVERIFY(app.mainWindow()->openProjectFile(toQ(home + "Projekte/Alpha.shp")));
    }
    ~Window() { app.mainWindow()->close(); }

    void openDialog()
    {
        app.mainWindow()->actions().mShopPublizieren->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
    }
    QLabel* status() const { return child<QLabel>(dialog, names::kUploadStatus); }
    QPushButton* start() const { return child<QPushButton>(dialog, names::kUploadButton); }
    QProgressBar* shopBar() const { return child<QProgressBar>(dialog, names::kShopProgressBar); }
    QProgressBar* fileBar() const { return child<QProgressBar>(dialog, names::kFileProgressBar); }
};

void writeShop(const std::string& shopDir)
{
    std::filesystem::create_directories(shopDir + "pictures/small");
    WriteTextFile(shopDir + "index.html", "<html>Alpha</html>\r\n");
    WriteTextFile(shopDir + "main.js", std::string(70000, 'j'));
    WriteTextFile(shopDir + "pictures/small/x.jpg", std::string(5000, '\xFF'));
}

// A message of the core as the German window says it.
QString said(const std::string& home, const char* key)
{
    return lng(home, "deutsch", "Messages", key);
}

int stores(const FtpPeer& peer)
{
    const std::vector<std::string> commands = peer.commands();
    return static_cast<int>(
        std::count_if(commands.begin(), commands.end(), [](const std::string& c) { return c.starts_with("STOR "); }));
}

} // namespace

class UploadDialogTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("LC_ALL", "de_DE.UTF-8"); }

    void theShopArrivesAndTheDialogSaysSo()
    {
        QTemporaryDir serverDir;
        FtpPeer peer(serverDir.path().toStdString());
        Home home(&peer);
        Window w(home.path);
        const std::string shop = w.app.state().Dirs.ShopDir;

        // Nothing generated yet: nothing to publish.
        w.app.mainWindow()->actions().mShopPublizieren->trigger();
        QTest::qWait(50);
        QVERIFY(!w.dialog->isVisible());

        writeShop(shop);
        w.openDialog();
        QCOMPARE(child<QLabel>(w.dialog, names::kProjectNameLabel)->text(), QStringLiteral("Alpha"));
        QCOMPARE(child<QLabel>(w.dialog, names::kHostLabel)->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(child<QLabel>(w.dialog, names::kFolderLabel)->text(), QStringLiteral("/shop"));
        QVERIFY(w.start()->isEnabled());
        QCOMPARE(w.shopBar()->value(), 0);

        QTest::mouseClick(w.start(), Qt::LeftButton);
        QCOMPARE(w.status()->text(), said(home.path, "UploadFinished"));
        QVERIFY(w.prompter.told.isEmpty());
        QCOMPARE(w.shopBar()->maximum(), 70000 + 5000 + 20);
        QCOMPARE(w.shopBar()->value(), w.shopBar()->maximum());
        QCOMPARE(w.fileBar()->value(), w.fileBar()->maximum());
        // Sent, it may be sent again at once.
        QVERIFY(w.start()->isEnabled());
        QCOMPARE(ReadFile(serverDir.path().toStdString() + "/shop/main.js"), std::string(70000, 'j'));
        QCOMPARE(ReadFile(serverDir.path().toStdString() + "/shop/pictures/small/x.jpg"), std::string(5000, '\xFF'));
        QCOMPARE(stores(peer), 3);

        // "Nur geänderte Dateien senden" is stored and read on the next showing;
        // then nothing that arrived is sent again.
        auto* changedOnly = child<QCheckBox>(w.dialog, names::kChangedOnlyBox);
        QVERIFY(!changedOnly->isChecked());
        QTest::mouseClick(changedOnly, Qt::LeftButton, {}, QPoint(6, changedOnly->height() / 2));
        QVERIFY(InitFTP(home.path).ChangedOnly);
        w.dialog->hide();
        w.openDialog();
        QVERIFY(changedOnly->isChecked());
        QVERIFY(w.start()->isEnabled());
        QCOMPARE(w.status()->text(), QString());
        const std::size_t commands = peer.commands().size();
        QTest::mouseClick(w.start(), Qt::LeftButton);
        QCOMPARE(w.status()->text(), said(home.path, "UploadNothingChanged"));
        QCOMPARE(stores(peer), 3);
        QCOMPARE(peer.commands().size(), commands);
        QCOMPARE(w.shopBar()->value(), w.shopBar()->maximum());
        QVERIFY(w.start()->isEnabled());

        // "FTP konfigurieren": the settings dialog above this one; what it
        // stores shows here at once.
        QTest::mouseClick(child<QPushButton>(w.dialog, names::kFtpConfigButton), Qt::LeftButton);
        SettingsDialog* settings = w.app.settingsDialog();
        QVERIFY(QTest::qWaitForWindowExposed(settings));
        QVERIFY(child<QWidget>(settings, "BasicPage")->isVisible());
        child<QLineEdit>(settings, "FtpFolder")->setText(QStringLiteral("a/b"));
        child<QPushButton>(settings, "OkButton")->click();
        QVERIFY(!settings->isVisible());
        QCOMPARE(child<QLabel>(w.dialog, names::kFolderLabel)->text(), QStringLiteral("a/b"));
        QVERIFY(w.dialog->isVisible());
    }

    // A server that refuses or a connection the merchant does not make: he
    // is told why, and the dialog does not claim the shop arrived.
    void aFailedUploadIsToldAndNotFinished()
    {
        QTemporaryDir serverDir;
        FtpPeer peer(serverDir.path().toStdString());
        const struct {
            const char* section;
            const char* key;
            const char* value;
            const char* told;
        } cases[] = {
            {"FTP", "pass", "wrong", "530"},
            // Dial-up on a computer without a phone-book entry: no connection.
            {"Connection", "connection", "2", "No connection to the internet"},
        };
        for (const auto& c : cases) {
            Home home(&peer);
            {
                IniFile settings(home.path + "quillane.ini");
                settings.WriteString(c.section, c.key, c.value);
                settings.UpdateFile();
            }
            Window w(home.path);
            writeShop(w.app.state().Dirs.ShopDir);
            w.openDialog();
            QTest::mouseClick(w.start(), Qt::LeftButton);
            QCOMPARE(w.prompter.told.size(), 1);
            QVERIFY2(w.prompter.told.first().contains(QString::fromUtf8(c.told)), qPrintable(w.prompter.told.first()));
            QVERIFY(w.status()->text() != said(home.path, "UploadFinished"));
            QVERIFY(w.dialog->isVisible());
        }
    }

    // The merchant mends what made the upload fail in "FTP konfigurieren"
    // and sends again from the same dialog.
    void afterAFailureTheMendedSettingsSendTheShop()
    {
        QTemporaryDir serverDir;
        FtpPeer peer(serverDir.path().toStdString());
        Home home(&peer);
        {
            IniFile settings(home.path + "quillane.ini");
            settings.WriteString("FTP", "pass", "wrong");
            settings.UpdateFile();
        }
        Window w(home.path);
        writeShop(w.app.state().Dirs.ShopDir);
        w.openDialog();
        QTest::mouseClick(w.start(), Qt::LeftButton);
        QCOMPARE(w.prompter.told.size(), 1);
        QCOMPARE(stores(peer), 0);

        QTest::mouseClick(child<QPushButton>(w.dialog, names::kFtpConfigButton), Qt::LeftButton);
        SettingsDialog* settings = w.app.settingsDialog();
        QVERIFY(QTest::qWaitForWindowExposed(settings));
        child<QLineEdit>(settings, "FtpPassword")->setText(toQ(peer.password()));
        child<QPushButton>(settings, "OkButton")->click();
        QVERIFY(!settings->isVisible());

        QVERIFY(w.start()->isEnabled());
        QTest::mouseClick(w.start(), Qt::LeftButton);
        QCOMPARE(w.status()->text(), said(home.path, "UploadFinished"));
        QCOMPARE(w.prompter.told.size(), 1);
        QCOMPARE(stores(peer), 3);
        QVERIFY(w.start()->isEnabled());
    }

    // The bar of the whole moves on while a large file goes, and never back;
    // its total is the shop's bytes from the start.
    void theWholeShopsBarOnlyMovesOn()
    {
        QTemporaryDir serverDir;
        FtpPeer peer(serverDir.path().toStdString());
        Home home(&peer);
        Window w(home.path);
        const std::string shop = w.app.state().Dirs.ShopDir;
        writeShop(shop);
        WriteTextFile(shop + "pictures/large.jpg", std::string(8 << 20, '\x42'));
        const int total = 70000 + 5000 + 20 + (8 << 20);
        w.openDialog();

        struct Seen {
            int shop;
            int shopMaximum;
            int file;
            int fileMaximum;
        };
        std::vector<Seen> seen;
        QObject::connect(w.shopBar(), &QProgressBar::valueChanged, w.dialog, [&](int value) {
            seen.push_back({value, w.shopBar()->maximum(), w.fileBar()->value(), w.fileBar()->maximum()});
        });
        QTest::mouseClick(w.start(), Qt::LeftButton);
        QCOMPARE(w.status()->text(), said(home.path, "UploadFinished"));
        QVERIFY(seen.size() > 2);
        int midFile = 0;
        for (std::size_t i = 0; i < seen.size(); ++i) {
            QCOMPARE(seen[i].shopMaximum, total);
            if (i > 0) {
                QVERIFY2(seen[i].shop >= seen[i - 1].shop,
                         qPrintable(QStringLiteral("%1 after %2").arg(seen[i].shop).arg(seen[i - 1].shop)));
            }
            if (seen[i].file > 0 && seen[i].file < seen[i].fileMaximum) {
                ++midFile;
            }
        }
        QVERIFY(midFile > 0);
        QCOMPARE(seen.back().shop, total);
    }

    // A file beyond what a progress bar counts, sent slowly enough to be
    // watched: the bars stay in range, and "Schließen" ends the transfer.
    void closingDuringTheTransferStopsItAtOnce()
    {
        QTemporaryDir serverDir;
        FtpPeer peer(serverDir.path().toStdString());
        Home home(&peer);
        Window w(home.path);
        const std::string shop = w.app.state().Dirs.ShopDir;
        writeShop(shop);
        {
            // Sparse: three gigabytes of zeros that take no room here.
            std::ofstream(shop + "big.bin").close();
            std::filesystem::resize_file(shop + "big.bin", 3LL << 30);
        }
        w.openDialog();

        QElapsedTimer closing;
        bool watched = false;
        QTimer::singleShot(0, w.dialog, [&] {
            QTRY_COMPARE_WITH_TIMEOUT(
                w.status()->text(),
                said(home.path, "UploadSending").replace(QStringLiteral("%1"), QStringLiteral("big.bin")), 20000);
            QTRY_VERIFY(w.fileBar()->value() > 0);
            QVERIFY(w.fileBar()->maximum() > 0 && w.fileBar()->value() <= w.fileBar()->maximum());
            QVERIFY(w.shopBar()->maximum() > 0 && w.shopBar()->value() < w.shopBar()->maximum());
            QVERIFY(!w.start()->isEnabled());
            watched = true;
            closing.start();
            QTest::mouseClick(child<QPushButton>(w.dialog, names::kUploadCloseButton), Qt::LeftButton);
        });
        QTest::mouseClick(w.start(), Qt::LeftButton);
        QVERIFY(watched);
        QVERIFY2(closing.elapsed() < 1000, qPrintable(QString::number(closing.elapsed())));
        QVERIFY(!w.dialog->isVisible());
        QVERIFY(!w.dialog->uploading());
        QVERIFY(w.status()->text() != said(home.path, "UploadFinished"));
        QVERIFY(w.prompter.told.isEmpty());
        QVERIFY(std::filesystem::file_size(serverDir.path().toStdString() + "/shop/big.bin") < (3ULL << 30));
    }

    // A server key nobody accepted, of an FTPS certificate or an SFTP host:
    // the merchant sees it and decides; "Nein" sends nothing, "Ja" stores
    // the key and the shop goes in the same click.
    void anUnknownServerKeyIsAcceptedOnlyWhenTheMerchantSaysSo()
    {
        // No known_hosts of the user's own knows the test's SSH server.
        const UserHome userHome;
        for (const bool sftp : {false, true}) {
            QTemporaryDir serverDir;
            std::optional<FtpPeer> ftps;
            std::optional<SftpPeer> ssh;
            std::string key;
            Home folder;
            {
                IniFile settings(folder.path + "quillane.ini");
                if (sftp) {
                    ssh.emplace(serverDir.path().toStdString());
                    key = ssh->fingerprint();
                    settings.WriteString("FTP", "host", "sftp://127.0.0.1");
                    settings.WriteString("FTP", "port", std::to_string(ssh->port()));
                    settings.WriteString("FTP", "login", ssh->user());
                    settings.WriteString("FTP", "keyfile", ssh->keyFile());
                } else {
                    ftps.emplace(serverDir.path().toStdString(), FtpPeerOptions{.tls = true});
                    key = ftps->certificatePin();
                    settings.WriteString("FTP", "host", "ftps://127.0.0.1");
                    settings.WriteString("FTP", "port", std::to_string(ftps->port()));
                    settings.WriteString("FTP", "login", ftps->user());
                    settings.WriteString("FTP", "pass", ftps->password());
                }
                settings.WriteString("FTP", "folder", "/shop");
                settings.UpdateFile();
            }
            Window w(folder.path);
            writeShop(w.app.state().Dirs.ShopDir);
            w.openDialog();
            const std::string arrived = serverDir.path().toStdString() + "/shop/main.js";

            for (const Prompter::Answer answer : {Prompter::Answer::No, Prompter::Answer::Yes}) {
                w.prompter.answers = {answer};
                w.prompter.questions.clear();
                QTest::mouseClick(w.start(), Qt::LeftButton);
                QCOMPARE(w.prompter.questions.size(), 1);
                QVERIFY2(w.prompter.questions.first().contains(toQ(key)), qPrintable(w.prompter.questions.first()));
                // Asked in the merchant's language.
                const QString ask = said(folder.path, "UploadAcceptKey").section(QStringLiteral("|"), -1);
                QVERIFY2(w.prompter.questions.first().contains(ask.left(ask.indexOf(QStringLiteral("%2")))),
                         qPrintable(w.prompter.questions.first()));
                QVERIFY(w.prompter.answers.isEmpty());
                const bool yes = answer == Prompter::Answer::Yes;
                QCOMPARE(InitFTP(folder.path).TrustedKey, yes ? key : std::string());
                QCOMPARE(std::filesystem::exists(arrived), yes);
                QCOMPARE(w.status()->text() == said(folder.path, "UploadFinished"), yes);
                QVERIFY(w.start()->isEnabled());
            }
            QCOMPARE(ReadFile(arrived), std::string(70000, 'j'));
            QVERIFY(w.prompter.told.isEmpty());
        }
    }
};

QTEST_MAIN(UploadDialogTest)
#include "UploadDialogTest.moc"
