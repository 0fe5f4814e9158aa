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

using namespace quillane;
using namespace quillane::gui;
using namespace quillane::gui::test;
using quillane::test::FtpPeer;
using quillane::test::FtpPeerOptions;

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
        QCOMPARE(w.status()->text(), QStringLiteral("UPLOAD FINISHED!"));
        QVERIFY(w.prompter.told.isEmpty());
        QCOMPARE(w.shopBar()->maximum(), 70000 + 5000 + 20);
        QCOMPARE(w.shopBar()->value(), w.shopBar()->maximum());
        QCOMPARE(w.fileBar()->value(), w.fileBar()->maximum());
        QVERIFY(!w.start()->isEnabled());
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
        QTest::mouseClick(w.start(), Qt::LeftButton);
        QCOMPARE(w.status()->text(), QStringLiteral("UPLOAD FINISHED!"));
        QCOMPARE(stores(peer), 3);

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
            QVERIFY(w.status()->text() != QStringLiteral("UPLOAD FINISHED!"));
            QVERIFY(!w.start()->isEnabled());
            QVERIFY(w.dialog->isVisible());
        }
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
            QTRY_COMPARE_WITH_TIMEOUT(w.status()->text(), QStringLiteral("Uploading: big.bin"), 20000);
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
        QVERIFY(w.status()->text() != QStringLiteral("UPLOAD FINISHED!"));
        QVERIFY(w.prompter.told.isEmpty());
        QVERIFY(std::filesystem::file_size(serverDir.path().toStdString() + "/shop/big.bin") < (3ULL << 30));
    }

    // A certificate nobody accepted: the merchant sees its key and decides;
    // "no" sends nothing, "yes" stores the key and the shop goes.
    void anUnknownServerKeyIsAcceptedOnlyWhenTheMerchantSaysSo()
    {
        QTemporaryDir serverDir;
        FtpPeer peer(serverDir.path().toStdString(), FtpPeerOptions{.tls = true});
        Home home(&peer);
        {
            IniFile settings(home.path + "quillane.ini");
            settings.WriteString("FTP", "host", "ftps://127.0.0.1");
            settings.UpdateFile();
        }
        Window w(home.path);
        writeShop(w.app.state().Dirs.ShopDir);
        w.openDialog();

        for (const Prompter::Answer answer : {Prompter::Answer::No, Prompter::Answer::Yes}) {
            w.prompter.answers = {answer};
            w.prompter.questions.clear();
            QTest::mouseClick(w.start(), Qt::LeftButton);
            QCOMPARE(w.prompter.questions.size(), 1);
            QVERIFY2(w.prompter.questions.first().contains(toQ(peer.certificatePin())),
                     qPrintable(w.prompter.questions.first()));
            QVERIFY(w.prompter.answers.isEmpty());
            QCOMPARE(stores(peer), 0);
            QVERIFY(w.status()->text() != QStringLiteral("UPLOAD FINISHED!"));
            const bool yes = answer == Prompter::Answer::Yes;
            QCOMPARE(InitFTP(home.path).TrustedKey, yes ? peer.certificatePin() : std::string());
            QCOMPARE(w.start()->isEnabled(), yes);
            if (!yes) {
                w.dialog->hide();
                w.openDialog();
            }
        }
        QTest::mouseClick(w.start(), Qt::LeftButton);
        QCOMPARE(w.status()->text(), QStringLiteral("UPLOAD FINISHED!"));
        QCOMPARE(stores(peer), 3);
        QVERIFY(w.prompter.told.isEmpty());
    }
};

QTEST_MAIN(UploadDialogTest)
#include "UploadDialogTest.moc"
