#include "gui/listing/AuctionPanel.h"
#include "core/common/IniFile.h"
#include "gui/app/Application.h"
#include "gui/app/MainWindow.h"
#include "gui/catalog/CatalogPage.h"
#include "gui/catalog/GroupPanel.h"
#include "gui/catalog/ItemDetailsArea.h"
#include "gui/catalog/ItemPanel.h"

#include "GuiTestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

using namespace quillane;
using namespace quillane::gui;
using namespace quillane::gui::test;

namespace {

// The listing page: the first form has every field, the second lacks picurl
// and has a field after it that must stay empty; the third is filled all the same.
constexpr const char* kListingPage =
    "<html><body>"
    "<form id='full'><input name='title'><textarea name='desc'></textarea><input name='binprice'>"
    "<input name='picurl'><input name='location'><input name='sellername'><input name='selleraddr1'>"
    "<input name='sellerzip'><input name='sellercity'><input name='sellerphone'>"
    "<input name='ipShippingFee' value='4.90'></form>"
    "<form id='short'><input name='title'><textarea name='desc'></textarea><input name='binprice'>"
    "<input name='location'></form>"
    "<form id='after'><input name='title'><input name='desc'><input name='binprice'><input name='picurl'></form>"
    "</body></html>";

// Answers every request with the listing page and keeps the request lines.
class ListingSite : public QObject {
public:
    QStringList requests;

    ListingSite()
    {
        server_.listen(QHostAddress::LocalHost);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
            }
        });
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1/").arg(server_.serverPort()); }

private:
    void answer(QTcpSocket* socket)
    {
        buffer_[socket] += socket->readAll();
        if (!buffer_[socket].contains("\r\n\r\n")) {
            return;
        }
        const QByteArray request = buffer_.take(socket);
        requests << QString::fromLatin1(request.left(request.indexOf("\r\n")));
        const QByteArray body = request.contains("favicon") ? QByteArray() : QByteArray(kListingPage);
        socket->write("HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=windows-1252\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> buffer_;
};

// The result of a script in the page, waited for.
QString evaluate(QWebEngineView* view, const QString& script)
{
    QString result = QStringLiteral("(no answer)");
    bool done = false;
    view->page()->runJavaScript(script, [&](const QVariant& v) {
        result = v.toString();
        done = true;
    });
    if (!QTest::qWaitFor([&done] { return done; }, 10000)) {
        return result;
    }
    return result;
}

QString field(QWebEngineView* view, const char* form, const char* name)
{
    return evaluate(view, QStringLiteral("document.getElementById('%1').elements.namedItem('%2').value")
                              .arg(QLatin1String(form), QLatin1String(name)));
}

// A program folder with one group and item 4711, its pictures and description.
std::string makeAuctionHome(QTemporaryDir& dir, const QString& site)
{
    const std::string base = fromQ(site);
    const std::string home =
        makeHome(dir, ("[Account]\r\nCountry=Germany\r\n[Connection]\r\nconnection=1\r\n[Services]\r\n"
                       "AuctionSiteGermany=" +
                       base + "\r\nProductSite=" + base + "\r\n")
                          .c_str());
    const std::string temp = home + "temp/";
    CreateFolder(temp + "daten/deutsch");
    WriteTextFile(temp + "groups.ini", "[deutsch]\r\n0=Brot\r\n");
    WriteTextFile(temp + "shop.tmp", "[0]\r\nVersand=0.000\r\n4711=Roggen & Co - gro\xDF|3.50||||\r\n");
    // The second picture is gone: the shop gets only the first.
    WriteTextFile(home + "bild.ppm", "P6\n1 1\n255\nabc");
    WriteTextFile(temp + "pictures.ini", "[4711]\r\n1=" + home + "bild.ppm\r\n2=/gone.jpg\r\n");
    WriteTextFile(temp + "daten/deutsch/4711.txt", "Kr\xE4"
                                                   "ftig\r\nmit <b>Kruste</b>\r\n");
    WriteTextFile(home + "userprofil.ini", "[Contact]\r\nFirma=B\xE4"
                                           "ckerei\r\nName=Anna \"Berg\"\r\n"
                                           "Strasse=Hauptstr. 1\r\nPLZ=12345\r\nOrt=K\xF6ln\r\nTelefon=0221 1\r\n");
    return home;
}

} // namespace

class AuctionPanelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("LC_ALL", "de_DE.UTF-8"); }

    void listingFillsTheFieldsEveryFormHas()
    {
        ListingSite site;
        QTemporaryDir dir;
        const std::string home = makeAuctionHome(dir, site.base());
        ScriptedPrompter prompter;
        prompter.answers << Prompter::Answer::Yes; // the working copy left behind
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        main->catalogPage()->groupPanel()->ShowGroups(QStringLiteral("Brot"));
        ItemPanel* items = main->catalogPage()->itemPanel();
        QVERIFY(items->details()->isActive());

        auto* auctionButton = child<QPushButton>(items, "AuctionButton");
        QVERIFY(auctionButton->isEnabled());
        auctionButton->click();
        auto* panel = child<AuctionPanel>(main, "eBayPanel");
        QTRY_VERIFY(panel->isVisible());
        QVERIFY(!child<QWidget>(main, "ShopCaption")->isVisible());
        QCOMPARE(child<QLabel>(panel, "ItemCaption")->text(), QStringLiteral("4711 \u2013 Roggen & Co - gro\u00df"));
        auto* fee = child<QComboBox>(panel, "ComboBox1");
        QCOMPARE(fee->count(), 2);
        QCOMPARE(fee->itemText(0), lng(home, "deutsch", "ComboText", "4"));
        auto* shipping = child<QComboBox>(panel, "ComboBox2");
        QCOMPARE(shipping->itemText(1), lng(home, "deutsch", "ComboText", "5"));
        QCOMPARE(fee->currentIndex(), 0);
        QCOMPARE(shipping->currentIndex(), 0);
        QVERIFY(child<QCheckBox>(panel, "CheckBox2")->isChecked());
        auto* shopUrl = child<QLineEdit>(panel, "Edit1");
        QCOMPARE(shopUrl->text(), QStringLiteral("http://"));

        shopUrl->setText(QStringLiteral("https://shop.example"));
        child<QPlainTextEdit>(panel, "Memo1")->setPlainText(QStringLiteral("Nur heute\nfrisch"));
        fee->setCurrentIndex(1);
        child<QPushButton>(panel, "Button5")->click();
        QCOMPARE(shopUrl->text(), QStringLiteral("https://shop.example/"));
        QVERIFY(prompter.told.isEmpty());

        auto* view = child<QWebEngineView>(main, "HelpView");
        QTRY_VERIFY_WITH_TIMEOUT(view->isVisible(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(field(view, "full", "title"), QStringLiteral("Roggen & Co - gro\u00df"), 20000);
        QVERIFY(site.requests.contains(QStringLiteral("GET /aw-cgi/ebayISAPI.dll?SellYourItemSignIn HTTP/1.1")));
        // A text area keeps its line breaks as LF.
        const QString description = field(view, "full", "desc");
        QCOMPARE(description, toQ(panel->description()).remove(QLatin1Char('\r')));
        QVERIFY2(description.contains(QStringLiteral(">Roggen &amp; Co<br>gro\u00df</span>")), qPrintable(description));
        QVERIFY(description.contains(QStringLiteral("\t\tKr\u00e4ftig<br>\n\t\tmit <b>Kruste</b><br>")));
        QVERIFY(description.contains(QStringLiteral("\t\tNur heute<br>\n\t\tfrisch<br>")));
        QVERIFY(description.contains(QStringLiteral("src=\"https://shop.example/pictures/large/4711_1.jpg\"")));
        QVERIFY(!description.contains(QStringLiteral("4711_2.jpg")));
        // The contact block, its labels in the interface language.
        QVERIFY2(description.contains(QStringLiteral("<b>B\u00e4ckerei</b><br>")), qPrintable(description));
        QVERIFY(description.contains(QStringLiteral("Telefon: 0221 1<br>")));
        QVERIFY(description.contains(lng(home, "deutsch", "ComboText", "5")));
        QCOMPARE(field(view, "full", "binprice"), QStringLiteral("3.50"));
        QCOMPARE(field(view, "full", "picurl"), site.base() + QStringLiteral("auktion/leer.gif"));
        QCOMPARE(field(view, "full", "location"), QStringLiteral("K\u00f6ln"));
        QCOMPARE(field(view, "full", "sellername"), QStringLiteral("Anna \"Berg\""));
        QCOMPARE(field(view, "full", "selleraddr1"), QStringLiteral("Hauptstr. 1"));
        QCOMPARE(field(view, "full", "sellerzip"), QStringLiteral("12345"));
        QCOMPARE(field(view, "full", "sellercity"), QStringLiteral("K\u00f6ln"));
        QCOMPARE(field(view, "full", "sellerphone"), QStringLiteral("0221 1"));
        QCOMPARE(field(view, "full", "ipShippingFee"), QString());
        // The second form lacks picurl: the fields after it are filled all the same.
        QCOMPARE(field(view, "short", "title"), QStringLiteral("Roggen & Co - gro\u00df"));
        QCOMPARE(field(view, "short", "desc"), description);
        QCOMPARE(field(view, "short", "binprice"), QStringLiteral("3.50"));
        QCOMPARE(field(view, "short", "location"), QStringLiteral("K\u00f6ln"));
        QCOMPARE(field(view, "after", "picurl"), site.base() + QStringLiteral("auktion/leer.gif"));

        const std::string temp = home + "temp/";
        IniFile settings(home + "quillane.ini");
        QCOMPARE(settings.ReadString("eBay", "ShopURL", ""), std::string("https://shop.example/"));
        QCOMPARE(toQ(settings.ReadString("eBay", "eBayFee", "")), lng(home, "deutsch", "ComboText", "5"));
        QCOMPARE(ReadFile(temp + "daten/ebay.txt"), std::string("[4711]\r\n0=Nur heute\r\n1=frisch\r\n"));

        // Opened again, the panel shows what was stored, not what was typed since.
        shopUrl->setText(QStringLiteral("https://typed.example/"));
        child<QPlainTextEdit>(panel, "Memo1")->setPlainText(QStringLiteral("nicht gespeichert"));
        auctionButton->click();
        QCOMPARE(shopUrl->text(), QStringLiteral("https://shop.example/"));
        QCOMPARE(child<QPlainTextEdit>(panel, "Memo1")->toPlainText(), QStringLiteral("Nur heute\nfrisch"));
        QCOMPARE(fee->currentIndex(), 1);

        // Without contact data the contact fields keep what the page holds.
        child<QCheckBox>(panel, "CheckBox2")->setChecked(false);
        evaluate(view, QStringLiteral("window.oldPage = true"));
        child<QPushButton>(panel, "Button5")->click();
        QTRY_COMPARE_WITH_TIMEOUT(evaluate(view, QStringLiteral("window.oldPage ? 'old' : document.getElementById("
                                                                "'full').elements.namedItem('title').value")),
                                  QStringLiteral("Roggen & Co - gro\u00df"), 20000);
        QCOMPARE(field(view, "full", "location"), QString());
        QCOMPARE(field(view, "full", "ipShippingFee"), QStringLiteral("4.90"));

        // The description saved as a file is shown as a preview; saving
        // remembers the address and the extra text as listing does.
        shopUrl->setText(QStringLiteral("https://other.example"));
        child<QPlainTextEdit>(panel, "Memo1")->setPlainText(QStringLiteral("Sonntags frisch"));
        const QString saved = dir.path() + QStringLiteral("/auktion");
        panel->chooseSaveFile = [&saved] { return saved; };
        child<QPushButton>(panel, "SaveDescription")->click();
        QVERIFY(FileExists(fromQ(saved) + ".html"));
        QTRY_COMPARE_WITH_TIMEOUT(view->url(), QUrl::fromLocalFile(saved + QStringLiteral(".html")), 10000);
        QCOMPARE(ReadFile(fromQ(saved) + ".html"), panel->description());
        const IniFile remembered(home + "quillane.ini");
        QCOMPARE(remembered.ReadString("eBay", "ShopURL", ""), std::string("https://other.example/"));
        QCOMPARE(remembered.ReadString("eBayAdditional", "0", ""), std::string("Sonntags frisch"));

        // The help contents hide the panel again.
        main->actions().mInhalt->trigger();
        QTRY_VERIFY(!panel->isVisible());
        prompter.answers << Prompter::Answer::No;
        QVERIFY(main->close());
    }

    void missingOrRefusedAddressIsToldAndNothingSaved()
    {
        ListingSite site;
        QTemporaryDir dir;
        const std::string home = makeAuctionHome(dir, site.base());
        ScriptedPrompter prompter;
        prompter.answers << Prompter::Answer::Yes;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        main->catalogPage()->groupPanel()->ShowGroups(QStringLiteral("Brot"));
        child<QPushButton>(main->catalogPage()->itemPanel(), "AuctionButton")->click();
        auto* panel = child<AuctionPanel>(main, "eBayPanel");
        QTRY_VERIFY(panel->isVisible());
        child<QPlainTextEdit>(panel, "Memo1")->setPlainText(QStringLiteral("Nur heute"));

        const QStringList notice = lng(home, "deutsch", "MsgBox", "16").split(QLatin1Char('|'));
        for (const char* address : {"", "http://", "http:", "javascript:alert(1)"}) {
            child<QLineEdit>(panel, "Edit1")->setText(QString::fromLatin1(address));
            child<QPushButton>(panel, "Button5")->click();
            QCOMPARE(prompter.told.size(), 1);
            const QString told = prompter.told.takeFirst();
            if (QByteArray(address).startsWith("javascript")) {
                QVERIFY2(told.contains(QStringLiteral("javascript:alert(1)/")), qPrintable(told));
            } else if (QByteArray(address) == "http:") {
                QVERIFY2(told.contains(QStringLiteral("http:/")), qPrintable(told));
            } else {
                QCOMPARE(told, notice[0] + QLatin1Char('\n') + notice[1]);
            }
        }
        QVERIFY(!IniFile(home + "quillane.ini").SectionExists("eBay"));
        QVERIFY(!FileExists(home + "temp/daten/ebay.txt"));
        QVERIFY(site.requests.isEmpty());
        prompter.answers << Prompter::Answer::No;
        QVERIFY(main->close());
    }
};

QTEST_MAIN(AuctionPanelTest)
#include "AuctionPanelTest.moc"
