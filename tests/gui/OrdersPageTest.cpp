#include "gui/orders/OrdersPage.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/i18n/LanguageFile.h"
#include "core/orders/InvoicePage.h"
#include "core/orders/OrderFile.h"
#include "core/settings/ShopProfile.h"
#include "gui/app/Application.h"
#include "gui/app/MainWindow.h"
#include "gui/orders/OrderView.h"
#include "gui/orders/PagePrinting.h"

#include "GuiTestSupport.h"
#include "NetPeers.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <optional>

using namespace quillane;
using namespace quillane::gui;
using namespace quillane::gui::test;
using quillane::test::OrderServicePeer;

namespace {

// Three orders as the service sends them (Windows-1252). A1 is confirmed and
// has remarks holding markup; B2 waits in the service's queue, has a company
// and a delivery address of its own; C3 has no readable number of items.
const char* const kReply = "[A1]\r\n"
                           "firstname=Eva\r\nlastname=M\xFCller\r\nstreet=<b>Hauptstr.</b> 1\r\nzip=12345\r\n"
                           "city=Neustadt\r\ncountry=Deutschland\r\nemail=eva@example.com\r\n"
                           "notes=<b>Bitte</b> klingeln <script>alert(1)</script>\r\ndate=28.12.2026\r\n"
                           "itemcount=1\r\nitem0=<script>alert(1)</script>Tasse|T-1|2|4.50|9.00\r\n"
                           "subtotal=9.00\r\ntotal=9.00\r\nvat=1.71\r\nshipping=4.90\r\nsubamount=15.61\r\n"
                           "paymentfee=0.00\r\npayment=vk\r\nconfirmed=true\r\n"
                           "[B2]\r\n"
                           "company=Hof & Co\r\nfirstname=Jan\r\nlastname=Kunz\r\nstreet=Ring 2\r\nzip=1010\r\n"
                           "city=Wien\r\nla_firstname=Ole\r\nla_street=Gasse 5\r\ndate=29.12.2026\r\n"
                           "itemcount=1\r\nitem0=Teller|T-2|1|12.00|12.00\r\nsubtotal=12.00\r\ntotal=12.00\r\n"
                           "vat=0.00\r\nshipping=0.00\r\nsubamount=12.00\r\npaymentfee=0.00\r\npayment=nn\r\n"
                           "confirmed=TRUE\r\nqueue=27.12.2026\r\n"
                           "[C3]\r\nlastname=Leer\r\ndate=30.12.2026\r\nsubtotal=0.00\r\ntotal=0.00\r\nvat=0.00\r\n"
                           "shipping=0.00\r\nsubamount=0.00\r\npaymentfee=0.00\r\npayment=vk\r\n";

// The program folder of a German merchant whose account is merchant/secret.
std::string makeOrderHome(QTemporaryDir& dir, const OrderServicePeer& peer, const char* password)
{
    const std::string settings =
        std::string("[Account]\r\nCountry=Germany\r\nUserID=merchant\r\nPassword=") + password +
        "\r\n[Connection]\r\nconnection=1\r\n[Services]\r\nOrderService=" + peer.address() + "\r\n";
    return makeHome(dir, settings.c_str());
}

struct Window {
    ScriptedPrompter prompter;
    Application app;
    OrdersPage* page;
    OrderView* view;
    // Where the choosers were pointed at, and what printing wrote.
    QString proposedPdf;
    QString pdfFolder;
    int printersChosen = 0;
    int previewPages = 0;
    QString printedTo;

    explicit Window(const std::string& home)
        : app(home, &prompter), page(app.mainWindow()->ordersPage()), view(page->view())
    {
        app.start();
        app.mainWindow()->actions().mBestellung->trigger();
        // A seller with all an invoice must name; a test that needs less takes it away.
        WriteTextFile(programDir() + "userprofil.ini",
                      "[Contact]\r\nFirma=Teeladen\r\nStrasse=Weg 1\r\nPLZ=12345\r\nOrt=Neustadt\r\n");
        IniFile profile(ShopProfilePath(app.state().Dirs.DataDir));
        profile.WriteString("Invoice", "stnr", "12/345/67890");
        profile.UpdateFile();
        // The preview is drawn as the dialog draws it; then "print" on a PDF printer.
        view->setChoosers({[this](QPrinter& printer, const std::function<void(QPrinter*)>& paint) {
                               ++printersChosen;
                               QPrintPreviewWidget preview(&printer);
                               QObject::connect(&preview, &QPrintPreviewWidget::paintRequested, paint);
                               preview.updatePreview();
                               previewPages = preview.pageCount();
                               printer.setOutputFormat(QPrinter::PdfFormat);
                               printer.setOutputFileName(printedTo);
                               paint(&printer);
                               return true;
                           },
                           [this](const QString& proposed) {
                               proposedPdf = proposed;
                               return pdfFolder + QLatin1Char('/') + QFileInfo(proposed).fileName();
                           }});
    }
    ~Window() { app.mainWindow()->close(); }

    const std::string& programDir() { return app.state().Dirs.ProgramDir; }
    template <typename T> T* control(const char* name) const { return child<T>(page, name); }
    QString label(const char* name) const { return control<QLabel>(name)->text(); }
    QLineEdit* number() const { return control<QLineEdit>(names::kInvoiceNumberEdit); }
    void click(const char* name) const { QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton); }

    // Chooses the entry of that order ID as the merchant does.
    void choose(QListWidget* list, const char* id) const
    {
        for (int i = 0; i < list->count(); ++i) {
            if (list->item(i)->text().contains(QStringLiteral("[%1 |").arg(QLatin1String(id)))) {
                list->setCurrentRow(i);
                return;
            }
        }
        QFAIL(qPrintable(QStringLiteral("no entry for ") + QLatin1String(id)));
    }
    QStringList entries(QListWidget* list) const
    {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i) {
            texts << list->item(i)->text();
        }
        return texts;
    }
    std::optional<Order> order(const char* id) { return FindOrder(programDir(), id); }
};

// What a script gives in the browser's page.
QVariant evaluate(QWebEngineView* browser, const QString& script)
{
    QVariant result;
    bool done = false;
    browser->page()->runJavaScript(script, [&](const QVariant& v) {
        result = v;
        done = true;
    });
    return QTest::qWaitFor([&] { return done; }, 10000) ? result : QVariant(QStringLiteral("(no answer)"));
}

// What the browser shows as text.
QString shownText(QWebEngineView* browser)
{
    return evaluate(browser, QStringLiteral("document.body.innerText")).toString();
}

QByteArray head(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(5) : QByteArray();
}

// What a tool writes to standard output.
QString run(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A word of a PDF as pdftotext -bbox places it, in millimetres from the
// page's top left corner.
struct Word {
    int Page;
    QString Text;
    QRectF Box;
};

std::vector<Word> pdfWords(const QString& pdf)
{
    const QString html = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    static const QRegularExpression word(QStringLiteral(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>|<page )re"));
    constexpr double mm = 72 / 25.4;
    std::vector<Word> words;
    int page = 0;
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(5).isEmpty() && m.captured(1).isEmpty()) {
            ++page;
            continue;
        }
        const QPointF from(m.captured(1).toDouble() / mm, m.captured(2).toDouble() / mm);
        const QPointF to(m.captured(3).toDouble() / mm, m.captured(4).toDouble() / mm);
        words.push_back({page, m.captured(5), QRectF(from, to)});
    }
    return words;
}

QString german(const std::string& home, const char* section, const char* key)
{
    return lng(home, "deutsch", section, key);
}

} // namespace

class OrdersPageTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("LC_ALL", "de_DE.UTF-8"); }

    void fetchShowNumberAndSaveAsPdf()
    {
        OrderServicePeer peer("merchant", "secret");
        peer.setReply(kReply);
        QTemporaryDir dir;
        const std::string home = makeOrderHome(dir, peer, "wrong");
        Window w(home);
        QCOMPARE(w.view->title(), QStringLiteral(" ____-____ "));
        QVERIFY(!w.control<QPushButton>("SavePdf")->isEnabled());

        // A refused account: the merchant is told, nothing is stored.
        w.click("Bestellungen");
        QCOMPARE(w.prompter.told.size(), 1);
        QVERIFY2(w.prompter.told[0].contains(QStringLiteral("403")), qPrintable(w.prompter.told[0]));
        QVERIFY(!FileExists(OrderFilePath(home)));
        QCOMPARE(w.page->newOrders()->count(), 0);

        w.app.state().User.Password = "secret";
        QSignalSpy status(w.page, &OrdersPage::statusMessage);
        w.click("Bestellungen");
        QCOMPARE(w.prompter.told.last(), german(home, "MsgBox", "24"));
        QCOMPARE(status.first().first().toString(), german(home, "Messages", "OrdersFetching"));
        QCOMPARE(w.entries(w.page->newOrders()), QStringList({QStringLiteral("Müller, Eva\n[A1 | 28.12.2026]"),
                                                              QStringLiteral("Hof & Co\n[B2 | 29.12.2026]"),
                                                              QStringLiteral("Leer, \n[C3 | 30.12.2026]")}));

        // Lines the program would not take are counted for the merchant: here its own keys.
        peer.setReply(std::string(kReply) + "[A1]\r\nPRINTED=true\r\nInvoiceNo=R-1\r\n");
        w.click("Bestellungen");
        QCOMPARE(w.prompter.told.last(), german(home, "MsgBox", "24") + QLatin1Char('\n') +
                                             QStringLiteral("2 Zeilen der Antwort wurden verworfen."));
        QVERIFY(w.order("A1")->Value("printed").empty());

        // The sequence of the open project proposes the number.
        IniFile profile(w.app.state().Dirs.DataDir + "shopprofil.ini");
        profile.WriteString("Invoice", "ReNrPrefix", "RE-");
        profile.WriteString("Invoice", "ReNrNext", "0041");
        CreateFolder(w.app.state().Dirs.DataDir);
        profile.UpdateFile();

        w.choose(w.page->newOrders(), "A1");
        QCOMPARE(w.view->title(), QStringLiteral(" A1 "));
        QCOMPARE(w.label("name"), QStringLiteral("Eva Müller"));
        QCOMPARE(w.label("street"), QStringLiteral("<b>Hauptstr.</b> 1"));
        // Without delivery keys the delivery tab repeats the billing address.
        QCOMPARE(w.label("la_name"), QStringLiteral("Eva Müller"));
        QCOMPARE(w.label("la_city"), QStringLiteral("Neustadt"));
        for (QLabel* value : w.control<QTabWidget>("AddressTabs")->findChildren<QLabel*>()) {
            if (!value->objectName().isEmpty()) {
                QVERIFY2(value->textFormat() == Qt::PlainText, qPrintable(value->objectName()));
            }
        }
        auto* confirmation = w.control<QLabel>(names::kConfirmPanel);
        QCOMPARE(confirmation->text(), QStringLiteral("Bestellung bestätigt"));
        QCOMPARE(confirmation->palette().color(QPalette::Window), QColor(0x5B, 0xC4, 0x2F));
        QCOMPARE(w.label(names::kPaymentPanel), german(home, "Rechnung", "vk"));
        QVERIFY(w.control<QWidget>("RemarksPane")->isVisible());
        QCOMPARE(w.control<QPlainTextEdit>(names::kRemarksMemo)->toPlainText(),
                 QStringLiteral("<b>Bitte</b> klingeln <script>alert(1)</script>"));
        QCOMPARE(w.number()->text(), QStringLiteral("RE-0041"));

        // The invoice shows the customer's markup as text and the proposed number.
        auto* browser = w.control<QWebEngineView>(names::kInvoiceBrowser);
        QTRY_VERIFY(shownText(browser).contains(QStringLiteral("<script>alert(1)</script>Tasse")));
        QVERIFY(shownText(browser).contains(QStringLiteral("RE-0041")));
        // The invoice's whole width shows, also in a browser narrower than it.
        QVERIFY(
            evaluate(browser, QStringLiteral("document.documentElement.scrollWidth <= window.innerWidth")).toBool());

        // A number typed and entered reaches the page, which is not built anew.
        const std::string pagePath = InvoicePagePath(w.app.state().Dirs.TempDir);
        WriteTextFile(pagePath, ReadFile(pagePath) + "<p>unchanged page</p>");
        w.number()->clear();
        QTest::keyClicks(w.number(), QStringLiteral("RE-0099"));
        QTest::keyClick(w.number(), Qt::Key_Return);
        QTRY_VERIFY(shownText(browser).contains(QStringLiteral("RE-0099")));
        QVERIFY(shownText(browser).contains(QStringLiteral("unchanged page")));

        QTemporaryDir invoices;
        w.pdfFolder = invoices.path();
        w.click("SavePdf");
        QCOMPARE(QFileInfo(w.proposedPdf).fileName(), QStringLiteral("RE-0099.pdf"));
        const QString pdf = invoices.filePath(QStringLiteral("RE-0099.pdf"));
        QCOMPARE(head(pdf), QByteArray("%PDF-"));
        QCOMPARE(IniFile(home + "quillane.ini").ReadString("Folders", "Invoices", ""), fromQ(invoices.path()));
        QCOMPARE(w.order("A1")->Value("printed"), std::string("true"));
        QCOMPARE(w.order("A1")->InvoiceNumber(), std::string("RE-0099"));
        QCOMPARE(w.page->newOrders()->count(), 2);

        // Saved is done: the order is listed under "Erledigt".
        auto* lists = w.control<QTabWidget>("OrderLists");
        lists->setCurrentWidget(w.page->oldOrders());
        QCOMPARE(w.entries(w.page->oldOrders()), QStringList{QStringLiteral("Müller, Eva\n[A1 | 28.12.2026]")});

        // Reopened, the order shows the number it went out with.
        w.choose(w.page->oldOrders(), "A1");
        QCOMPARE(w.number()->text(), QStringLiteral("RE-0099"));
        QVERIFY(w.prompter.asked.isEmpty());
    }

    void printWarnTwiceAndDelete()
    {
        OrderServicePeer peer("merchant", "secret");
        QTemporaryDir dir;
        const std::string home = makeOrderHome(dir, peer, "secret");
        WriteTextFile(home + "orders.dat",
                      std::string(kReply) + "[D4]\r\nlastname=Alt\r\ninvoiceno=R-7\r\nprinted=true\r\n");
        Window w(home);
        QTemporaryDir out;
        w.printedTo = out.filePath(QStringLiteral("printed.pdf"));
        QCOMPARE(w.page->newOrders()->count(), 3);

        // A queued order tells its date before it shows.
        w.choose(w.page->newOrders(), "B2");
        QCOMPARE(w.prompter.told.size(), 1);
        QVERIFY2(w.prompter.told[0].contains(QStringLiteral("27.12.2026")), qPrintable(w.prompter.told[0]));
        QCOMPARE(w.view->title(), QStringLiteral(" B2 "));
        QCOMPARE(w.label("company"), QStringLiteral("Hof & Co"));
        QCOMPARE(w.label("la_name"), QStringLiteral("Ole Kunz"));
        QCOMPARE(w.label("la_street"), QStringLiteral("Gasse 5"));
        QCOMPARE(w.label("la_city"), QStringLiteral("Wien"));
        auto* confirmation = w.control<QLabel>(names::kConfirmPanel);
        QCOMPARE(confirmation->text(), QStringLiteral("Bestellung nicht bestätigt"));
        QCOMPARE(confirmation->palette().color(QPalette::Window), QColor(0xE3, 0x28, 0x28));
        QVERIFY(!w.control<QWidget>("RemarksPane")->isVisible());

        // A number another order went out with is used again only on Yes.
        w.number()->setText(QStringLiteral("R-7"));
        w.prompter.answers = {Prompter::Answer::No};
        w.click("Drucken");
        QCOMPARE(w.prompter.asked.size(), 1);
        QVERIFY2(w.prompter.questions[0].contains(QStringLiteral("D4")), qPrintable(w.prompter.questions[0]));
        QCOMPARE(w.printersChosen, 0);
        QVERIFY(w.order("B2")->Value("printed").empty());

        w.prompter.answers = {Prompter::Answer::Yes};
        w.click("Drucken");
        QCOMPARE(w.printersChosen, 1);
        QCOMPARE(w.previewPages, 1);
        QCOMPARE(head(w.printedTo), QByteArray("%PDF-"));
        // The page goes out as text and lines, not as a picture of them.
        QVERIFY2(run(QStringLiteral("pdftotext"), {w.printedTo, QStringLiteral("-")}).contains(QStringLiteral("Kunz")),
                 "no text in the printed PDF");
        QCOMPARE(run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), w.printedTo}).count(QLatin1Char('\n')), 2);
        QVERIFY(QFileInfo(w.printedTo).size() < 200 * 1024);
        QCOMPARE(w.order("B2")->Value("printed"), std::string("true"));
        QCOMPARE(w.order("B2")->InvoiceNumber(), std::string("R-7"));
        QCOMPARE(w.page->newOrders()->count(), 2);

        // Without a number nothing goes out.
        w.choose(w.page->newOrders(), "A1");
        w.number()->clear();
        w.click("Drucken");
        QCOMPARE(w.prompter.told.last(), german(home, "MsgBox", "23"));
        QCOMPARE(w.printersChosen, 1);

        // An order whose invoice cannot be built shows, but cannot go out.
        const int told = static_cast<int>(w.prompter.told.size());
        w.choose(w.page->newOrders(), "C3");
        QCOMPARE(w.prompter.told.size(), told + 1);
        QCOMPARE(w.view->title(), QStringLiteral(" C3 "));
        QVERIFY(!shownText(w.control<QWebEngineView>(names::kInvoiceBrowser)).contains(QStringLiteral("Eva")));
        QCOMPARE(w.label(names::kPaymentPanel), QString());
        QVERIFY(!w.control<QPushButton>("Drucken")->isEnabled());
        QVERIFY(!w.control<QPushButton>("SavePdf")->isEnabled());

        // Delete asks first; only Yes removes the order and clears the view.
        w.choose(w.page->newOrders(), "A1");
        w.prompter.answers = {Prompter::Answer::No};
        QTest::keyClick(w.page->newOrders(), Qt::Key_Delete);
        QVERIFY(w.order("A1"));
        QCOMPARE(w.view->title(), QStringLiteral(" A1 "));
        QVERIFY(w.prompter.questions.last().startsWith(german(home, "MsgBox", "22")));

        w.prompter.answers = {Prompter::Answer::Yes};
        QTest::keyClick(w.page->newOrders(), Qt::Key_Delete);
        QVERIFY(!w.order("A1"));
        QVERIFY(w.order("C3"));
        QCOMPARE(w.view->title(), QStringLiteral(" ____-____ "));
        QCOMPARE(w.label("name"), QString());
        QVERIFY(!w.control<QWidget>("RemarksPane")->isVisible());
        QCOMPARE(w.entries(w.page->newOrders()), QStringList{QStringLiteral("Leer, \n[C3 | 30.12.2026]")});
        QTRY_VERIFY(!shownText(w.control<QWebEngineView>(names::kInvoiceBrowser)).contains(QStringLiteral("Eva")));

        // With no order shown the key does nothing.
        const int asked = static_cast<int>(w.prompter.asked.size());
        QTest::keyClick(w.page->newOrders(), Qt::Key_Delete);
        QCOMPARE(w.prompter.asked.size(), asked);
    }

    // quillane --print-pdf, as quillane-cli invoice --pdf runs it.
    void printPdfCommand()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, nullptr);
        const std::string pages = home + "pages/";
        CreateFolder(pages);
        InvoiceSetup setup;
        setup.LanguageDir = home + "sprache/";
        setup.Home.Language = "deutsch";
        Order::Values typical{{"lastname", "Kunz"}, {"itemcount", "1"}, {"item0", "Tasse|T-1|1|4.50|4.50"}};
        Order::Values longOrder{{"lastname", "Kunz"}, {"itemcount", "80"}};
        for (int i = 0; i < 80; ++i) {
            longOrder.emplace_back("item" + std::to_string(i), "Tasse " + std::to_string(i) + "|T-1|1|4.50|4.50");
        }
        BuildInvoicePage(setup, Order("A1", typical), pages + "typical.html");
        BuildInvoicePage(setup, Order("A2", longOrder), pages + "long.html");
        WriteInvoiceNumberScript(pages, "RE-0815");

        const auto in = [&pages](const char* name) { return toQ(pages) + QLatin1String(name); };
        const QString unseen = dir.filePath(QStringLiteral("unseen-home"));
        const struct {
            QStringList args;
            int code;
            QString pages; // of the PDF written, empty for none
            QString error;
        } cases[] = {
            {{in("typical.html"), in("typical.pdf")}, 0, QStringLiteral("1"), {}},
            {{in("long.html"), in("long.pdf")}, 0, QStringLiteral("[2-9]"), {}},
            {{in("none.html"), in("none.pdf")}, 1, {}, in("none.html")},
            {{in("typical.html"), in("missing/out.pdf")}, 1, {}, in("missing/out.pdf")},
            {{in("typical.html")}, 1, {}, QStringLiteral("usage")},
        };
        for (const auto& c : cases) {
            QProcess run;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.remove(QStringLiteral("QT_QPA_PLATFORM"));
            env.insert(QStringLiteral("QUILLANE_HOME"), unseen);
            run.setProcessEnvironment(env);
            run.start(QStringLiteral(QUILLANE_PROGRAM), QStringList{QStringLiteral("--print-pdf")} + c.args);
            QVERIFY(run.waitForFinished(120000));
            const QString err = QString::fromLocal8Bit(run.readAllStandardError());
            QCOMPARE(run.exitCode(), c.code);
            const QString pdf = c.args.size() > 1 ? c.args[1] : QString();
            if (c.pages.isEmpty()) {
                QCOMPARE(err.count(QLatin1Char('\n')), 1);
                QVERIFY2(err.contains(c.error), qPrintable(err));
                QVERIFY(pdf.isEmpty() || !QFileInfo::exists(pdf));
                continue;
            }
            QVERIFY2(err.isEmpty(), qPrintable(err));
            QProcess info;
            info.start(QStringLiteral("pdfinfo"), {pdf});
            QVERIFY(info.waitForFinished());
            const QString facts = QString::fromUtf8(info.readAllStandardOutput());
            QVERIFY2(facts.contains(QStringLiteral("(A4)")), qPrintable(facts));
            QVERIFY2(facts.contains(QRegularExpression(QStringLiteral("Pages: +") + c.pages + QStringLiteral("\\n"))),
                     qPrintable(facts));
            // The number comes from renr.js: the page's scripts ran before printing.
            QProcess text;
            text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
            QVERIFY(text.waitForFinished());
            QVERIFY(QString::fromUtf8(text.readAllStandardOutput()).contains(QStringLiteral("RE-0815")));
        }
        // No program folder is made or seeded for it.
        QVERIFY(!QFileInfo::exists(unseen));
    }
    // The printed invoice in German and English: the recipient in the window
    // of a window envelope, no text over other text (a full IBAN beside the
    // VAT ID in the footer), and a long order's headings and invoice number
    // again on the next page.
    void invoiceLayoutOnPaper()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, nullptr);
        WriteTextFile(home + "userprofil.ini", "[Contact]\r\nFirma=Teeladen Sonnenschein GmbH & Co. KG\r\n"
                                               "Name=Eva Meier\r\nStrasse=Lange Stra\xDF"
                                               "e 123\r\nPLZ=12345\r\nOrt=Neustadt an der Weinstra\xDF"
                                               "e\r\n");
        CreateFolder(home + "daten/");
        WriteTextFile(home + "daten/shopprofil.ini",
                      "[Invoice]\r\nKopfzeile=1\r\nFusszeile=1\r\nbank=Volksbank Neustadt an der Weinstrasse eG\r\n"
                      "iban=DE89370400440532013000\r\nbic=GENODE61NEW\r\nstnr=31/123/45678\r\nustid=DE123456789\r\n");
        const std::string pages = home + "pages/";
        CreateFolder(pages);
        InvoiceSetup setup;
        setup.ProgramDir = home;
        setup.DataDir = home + "daten/";
        setup.LanguageDir = home + "sprache/";
        setup.Home.Name = "Germany";
        setup.Home.Language = "deutsch";
        setup.Home.EU = true;
        setup.Home.VAT = 19;
        WriteInvoiceNumberScript(pages, "RE-0815");

        const struct {
            const char* country;
            const char* name;
            QString heading; // a column heading
            QString amount;  // the item's price
        } cases[] = {
            {"Deutschland", "de", QStringLiteral("Bezeichnung"), QStringLiteral("4,50")},
            {"United Kingdom", "en", QStringLiteral("Item"), QStringLiteral("\u20AC4.50")},
        };
        for (const auto& c : cases) {
            Order::Values typical{
                {"company", "Kaffeehaus Kunz"}, {"firstname", "Jan"}, {"lastname", "Kunz"},
                {"street", "Ringweg 2"},        {"zip", "50667"},     {"city", "Porz"},
                {"country", c.country},         {"itemcount", "1"},   {"item0", "Tasse|T-1|1|4.50|4.50"},
                {"subtotal", "4.50"},           {"total", "4.50"},    {"payment", "vk"}};
            Order::Values longOrder = typical;
            longOrder[7] = {"itemcount", "80"};
            for (int i = 1; i < 80; ++i) {
                longOrder.emplace_back("item" + std::to_string(i), "Tasse " + std::to_string(i) + "|T-1|1|4.50|4.50");
            }
            const QString name = QLatin1String(c.name);
            const std::string typicalPage = pages + c.name + ".html";
            const std::string longPage = pages + c.name + "-long.html";
            BuildInvoicePage(setup, Order("20261228-0001", typical), typicalPage);
            BuildInvoicePage(setup, Order("20261228-0002", longOrder), longPage);
            const QString pdf = toQ(pages) + name + QStringLiteral(".pdf");
            const QString longPdf = toQ(pages) + name + QStringLiteral("-long.pdf");
            for (const auto& [in, out] : {std::pair(toQ(typicalPage), pdf), std::pair(toQ(longPage), longPdf)}) {
                QProcess print;
                print.start(QStringLiteral(QUILLANE_PROGRAM), {QStringLiteral("--print-pdf"), in, out});
                QVERIFY(print.waitForFinished(120000));
                QCOMPARE(print.exitCode(), 0);
            }

            const std::vector<Word> words = pdfWords(pdf);
            QVERIFY(!words.empty());
            // Form B: the address field is 85 mm wide from 20 mm, 45 to 90 mm from the top.
            const QRectF window(QPointF(20, 45), QPointF(105, 90));
            QStringList found;
            for (const Word& w : words) {
                if (QStringList{QStringLiteral("Kaffeehaus"), QStringLiteral("Jan"), QStringLiteral("Ringweg"),
                                QStringLiteral("50667"), QStringLiteral("DEUTSCHLAND"), QStringLiteral("KINGDOM")}
                        .contains(w.Text)) {
                    found << w.Text;
                    QVERIFY2(window.contains(w.Box), qPrintable(QStringLiteral("%1 %2 at %3,%4 to %5,%6 mm")
                                                                    .arg(name, w.Text)
                                                                    .arg(w.Box.left())
                                                                    .arg(w.Box.top())
                                                                    .arg(w.Box.right())
                                                                    .arg(w.Box.bottom())));
                }
            }
            QCOMPARE(found.size(), 5);
            QString all;
            for (std::size_t i = 0; i < words.size(); ++i) {
                all += words[i].Text + QLatin1Char(' ');
                QVERIFY2(words[i].Box.right() < 200 && words[i].Box.bottom() < 292, qPrintable(words[i].Text));
                for (std::size_t j = i + 1; j < words.size(); ++j) {
                    const QRectF both = words[i].Box.intersected(words[j].Box);
                    QVERIFY2(words[i].Page != words[j].Page || both.width() < 0.2 || both.height() < 0.2,
                             qPrintable(name + QStringLiteral(": ") + words[i].Text + QStringLiteral(" over ") +
                                        words[j].Text));
                }
            }
            for (const QString& text : {QStringLiteral("DE89 3704 0044 0532 0130 00"), QStringLiteral("DE123456789"),
                                        QStringLiteral("20261228-0001"), c.heading, c.amount}) {
                QVERIFY2(all.contains(text), qPrintable(name + QStringLiteral(" lacks ") + text));
            }

            // Page 2 of the long order starts with the number and the headings.
            QStringList second;
            for (const Word& w : pdfWords(longPdf)) {
                if (w.Page == 2) {
                    second << w.Text;
                }
            }
            QVERIFY2(second.contains(QStringLiteral("RE-0815")) && second.contains(c.heading),
                     qPrintable(second.join(QLatin1Char(' '))));
        }
    }

    // Before an invoice goes out without the seller's address and tax
    // number, the merchant is asked, and nothing goes out on No.
    void missingSellerDetailsAreAskedAbout()
    {
        OrderServicePeer peer("merchant", "secret");
        QTemporaryDir dir;
        const std::string home = makeOrderHome(dir, peer, "secret");
        WriteTextFile(home + "orders.dat", kReply);
        Window w(home);
        WriteTextFile(w.programDir() + "userprofil.ini", "[Contact]\r\nFirma=Teeladen\r\n");
        IniFile profile(ShopProfilePath(w.app.state().Dirs.DataDir));
        profile.WriteString("Invoice", "stnr", "");
        profile.UpdateFile();
        QTemporaryDir out;
        w.printedTo = out.filePath(QStringLiteral("printed.pdf"));
        w.choose(w.page->newOrders(), "A1");
        w.number()->setText(QStringLiteral("RE-1"));

        w.prompter.answers = {Prompter::Answer::No};
        w.click("Drucken");
        QCOMPARE(w.prompter.asked.size(), 1);
        const QString question = w.prompter.questions[0];
        QVERIFY2(question.contains(german(home, "Messages", "InvoiceNoSellerAddress")), qPrintable(question));
        QVERIFY2(question.contains(german(home, "Messages", "InvoiceNoTaxNumber")), qPrintable(question));
        QVERIFY2(!question.contains(german(home, "Messages", "InvoiceNoSellerName")), qPrintable(question));
        QCOMPARE(w.printersChosen, 0);
        QVERIFY(w.order("A1")->Value("printed").empty());

        w.prompter.answers = {Prompter::Answer::Yes};
        w.click("Drucken");
        QCOMPARE(w.printersChosen, 1);
        QCOMPARE(w.order("A1")->Value("printed"), std::string("true"));
    }
    // A printer that does not take the job is named in the error; a PDF
    // printer gets the bytes as they are.
    void printingHandsOverThePdf()
    {
        QTemporaryDir dir;
        const QByteArray pdf("%PDF-1.4 a page");
        QPrinter file;
        file.setOutputFormat(QPrinter::PdfFormat);
        file.setOutputFileName(dir.filePath(QStringLiteral("out.pdf")));
        PrintPdfOn(pdf, file);
        QFile out(file.outputFileName());
        QVERIFY(out.open(QIODevice::ReadOnly));
        QCOMPARE(out.readAll(), pdf);

        // With no print service, or none that knows the printer, the job is refused.
        try {
            SendPdfToPrinter(pdf, QStringLiteral("quillane-no-such-printer"), 1, QPrinter::DuplexNone);
            QFAIL("no error for a printer that does not exist");
        } catch (const Error& e) {
            QVERIFY2(QString::fromStdString(e.what()).contains(QStringLiteral("quillane-no-such-printer")), e.what());
        }
    }
    // A delivery date set in the view goes onto the invoice; without one
    // the invoice says it is the invoice date, also for the next order.
    void deliveryDateOnTheInvoice()
    {
        OrderServicePeer peer("merchant", "secret");
        QTemporaryDir dir;
        const std::string home = makeOrderHome(dir, peer, "secret");
        WriteTextFile(home + "orders.dat", kReply);
        Window w(home);
        w.choose(w.page->newOrders(), "A1");
        auto* browser = w.control<QWebEngineView>(names::kInvoiceBrowser);
        QTRY_VERIFY(shownText(browser).contains(QStringLiteral("Lieferdatum entspricht Rechnungsdatum")));
        auto* delivered = w.control<QCheckBox>("Delivered");
        auto* date = w.control<QDateEdit>("DeliveryDate");
        QVERIFY(!date->isEnabled());
        delivered->setChecked(true);
        date->setDate(QDate(2026, 12, 20));
        QTRY_VERIFY(shownText(browser).contains(QStringLiteral("Lieferdatum: 20.12.2026")));
        QVERIFY(!shownText(browser).contains(QStringLiteral("entspricht")));

        w.choose(w.page->newOrders(), "B2");
        QVERIFY(!delivered->isChecked());
        QTRY_VERIFY(shownText(browser).contains(QStringLiteral("Lieferdatum entspricht Rechnungsdatum")));
    }
};

QTEST_MAIN(OrdersPageTest)
#include "OrdersPageTest.moc"
