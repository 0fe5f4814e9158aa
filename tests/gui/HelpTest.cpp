#include "core/common/HelpPage.h"
#include "gui/app/Application.h"
#include "gui/app/MainWindow.h"
#include "gui/common/HelpMark.h"
#include "gui/common/HelpWindow.h"
#include "gui/publish/UploadDialog.h"

#include "GuiTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <filesystem>

using namespace quillane;
using namespace quillane::gui;
using namespace quillane::gui::test;

class HelpTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void marksShowTheirSectionOnTop()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, "[Account]\r\nCountry=Germany\r\n[Connection]\r\nconnection=1\r\n");
        CreateFolder(home + "hilfe");
        WriteTextFile(home + "hilfe/artikelgruppen.html",
                      "<html>\r\n<!-- +groups -->\r\n<div>Gruppen</div>\r\n- Geben Sie den Namen ein.\r\n"
                      "<!-- -groups -->\r\n</html>\r\n");
        WriteTextFile(home + "hilfe/artikeleingabe.html", "<!-- +input -->\r\nArtikel\r\n<!-- -input -->\r\n");
        WriteTextFile(home + "hilfe/kurzanleitung.html", "<html><body>Kurzanleitung</body></html>\r\n");
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();

        HelpMark* groups = main->findChild<HelpMark*>(QStringLiteral("help:artikelgruppen|groups"));
        QVERIFY(groups != nullptr);
        QTest::mouseClick(groups, Qt::LeftButton);
        HelpWindow* help = app.helpWindow();
        QVERIFY(help->isVisible());
        QCOMPARE(help->windowFlags() & Qt::WindowStaysOnTopHint, Qt::WindowStaysOnTopHint);
        std::string page = ReadFile(home + "temp/help.html");
        QVERIFY(page.find("<div>Gruppen</div>\r\nGeben Sie den Namen ein.\r\n</font>") != std::string::npos);

        // A second mark replaces the section.
        QTest::mouseClick(main->findChild<HelpMark*>(QStringLiteral("help:artikeleingabe|input")), Qt::LeftButton);
        page = ReadFile(home + "temp/help.html");
        QVERIFY(page.find("Artikel\r\n</font>") != std::string::npos);
        QVERIFY(page.find("Gruppen") == std::string::npos);
        QTRY_COMPARE(help->view()->url().toLocalFile(), toQ(home + "temp/help.html"));

        // A page that is missing is said, and the window shows what it showed.
        DeleteFolder(home + "hilfe");
        QTest::mouseClick(groups, Qt::LeftButton);
        QCOMPARE(prompter.told.size(), 1);
        QVERIFY(ReadFile(home + "temp/help.html").find("Artikel") != std::string::npos);

        QTest::mouseClick(help, Qt::LeftButton, {}, QPoint(1, 1));
        QVERIFY(!help->isVisible());
        QVERIFY(main->close());
    }

    // A section opens at its heading, whatever the last one was scrolled to,
    // in a window with room for it.
    void helpOpensAtItsHeadingLargeEnoughToRead()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, "[Account]\r\nCountry=Germany\r\n[Connection]\r\nconnection=1\r\n");
        CreateFolder(home + "hilfe");
        std::string long_section = "<!-- +groups -->\r\n<div>Gruppen</div>\r\n";
        for (int i = 0; i < 80; ++i) {
            long_section += "<p>Absatz " + std::to_string(i) + "</p>\r\n";
        }
        WriteTextFile(home + "hilfe/artikelgruppen.html", long_section + "<!-- -groups -->\r\n");
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        auto* mark = child<HelpMark>(main, "help:artikelgruppen|groups");
        HelpWindow* help = app.helpWindow();
        for (int round = 0; round < 2; ++round) {
            QTest::mouseClick(mark, Qt::LeftButton);
            QVERIFY(help->isVisible());
            QVERIFY2(help->width() >= 480 && help->height() >= 320,
                     qPrintable(QStringLiteral("%1x%2").arg(help->width()).arg(help->height())));
            QVERIFY(help->view()->zoomFactor() > 1.0);
            // Loaded and at the top, where the heading is.
            QTRY_VERIFY(help->view()->page()->contentsSize().height() > help->view()->height());
            QTRY_COMPARE(help->view()->page()->scrollPosition().y(), 0.0);
            help->view()->page()->runJavaScript(QStringLiteral("window.scrollTo(0, 1000);"));
            QTRY_VERIFY(help->view()->page()->scrollPosition().y() > 0);
        }
        QVERIFY(main->close());
    }

    // The marks of the order tab and of the upload dialog show their section
    // of the shipped pages. The help window answers a click also above the
    // upload dialog, which holds the other windows while it is open.
    void orderAndUploadMarksShowTheirSection()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, "[Account]\r\nCountry=Germany\r\n[Connection]\r\nconnection=1\r\n");
        std::filesystem::copy(QUILLANE_DATA_DIR "hilfe", home + "hilfe");
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        HelpWindow* help = app.helpWindow();
        main->actions().mBestellung->trigger();

        const struct {
            QWidget* window;
            const char* page;
            const char* anchor;
        } marks[] = {
            {main, "bestellungseingang", "orderentrance"},
            {main, "bestellungseingang", "orderview"},
            {app.uploadDialog(), "veroeffentlichen", "upload"},
        };
        for (const auto& m : marks) {
            const std::string keyword = std::string(m.page) + "|" + m.anchor;
            m.window->show();
            QVERIFY(QTest::qWaitForWindowExposed(m.window));
            QTest::mouseClick(child<HelpMark>(m.window, ("help:" + keyword).c_str()), Qt::LeftButton);
            QVERIFY2(help->isVisible(), keyword.c_str());
            BuildHelpPage(home + "hilfe/" + m.page + ".html", m.anchor, home + "section.html");
            QCOMPARE(ReadFile(home + "temp/help.html"), ReadFile(home + "section.html"));
            QTRY_COMPARE(help->view()->url().toLocalFile(), toQ(home + "temp/help.html"));
            // Clicked as a person would, through the window system, which
            // passes nothing to a window that a modal one holds.
            QVERIFY(QTest::qWaitForWindowExposed(help));
            QTest::mouseClick(help->windowHandle(), Qt::LeftButton, {}, QPoint(1, 1));
            QTRY_VERIFY2(!help->isVisible(), keyword.c_str());
        }
        app.uploadDialog()->reject();
        QVERIFY(main->close());
    }

    // The shop's pages reach their frame page, which only works when the
    // browser sees them as one site: served, not opened as files.
    void shopIsServedSoItsFramesReachTheirParent()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, "[Account]\r\nCountry=Germany\r\n[Connection]\r\nconnection=1\r\n");
        CreateFolder(home + "hilfe");
        WriteTextFile(home + "hilfe/kurzanleitung.html", "<html><head><title>Inhalt</title></head></html>\r\n");
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        const std::string shop = app.state().Dirs.ShopDir;

        main->showShop(); // nothing generated yet: nothing happens
        auto* caption = main->findChild<QLabel*>(QStringLiteral("ShopCaption"));
        QVERIFY(caption != nullptr && !caption->isVisibleTo(main));

        WriteTextFile(shop + "index.html",
                      "<html><head><script>var Shop = { Land: 'de' };</script></head>"
                      "<frameset rows=\"*\"><frame name=\"main\" src=\"pages/start%20page.html?x\"></frameset></html>");
        CreateFolder(shop + "pages");
        WriteTextFile(shop + "pages/start page.html",
                      "<html><body><script>parent.document.title = 'reached ' + parent.Shop.Land + ' \x80';"
                      "</script></body></html>");
        main->actions().mShopAnsehen->setEnabled(true);
        main->actions().mShopAnsehen->trigger();
        auto* view = main->findChild<QWebEngineView*>(QStringLiteral("HelpView"));
        QVERIFY(view != nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(view->title(), QStringLiteral("reached de \u20AC"), 20000);
        QCOMPARE(view->url().host(), QStringLiteral("127.0.0.1"));
        QVERIFY(caption->isVisibleTo(main));
        QCOMPARE(caption->text(), toQ(ExcludeTrailingSlash(shop))); // as the merchant wrote it

        // The contents show without the shop's caption.
        main->actions().mInhalt->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(view->title(), QStringLiteral("Inhalt"), 20000);
        QVERIFY(!caption->isVisibleTo(main));
        QVERIFY(main->close());
    }

    void theShopPreviewIsLeftWithoutItsLeavingPrompt()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, "[Account]\r\nCountry=Germany\r\n[Connection]\r\nconnection=1\r\n");
        CreateFolder(home + "hilfe");
        WriteTextFile(home + "hilfe/kurzanleitung.html", "<html><head><title>Inhalt</title></head></html>\r\n");
        ScriptedPrompter prompter; // a question from the page fails the test
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        // A shop that asks before it is left, once the customer has clicked in it.
        WriteTextFile(app.state().Dirs.ShopDir + "index.html",
                      "<html><head><title>armed</title><script>"
                      "addEventListener('beforeunload', function (e) { e.preventDefault(); e.returnValue = 'x'; });"
                      "</script></head><body style=\"height:2000px\">Shop</body></html>");
        // Any dialog the page raises is noted and closed, so that the test goes on.
        QStringList dialogs;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&dialogs] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                dialogs << (box != nullptr ? box->text() : modal->objectName());
                modal->close();
            }
        });
        watch.start(50);

        auto* pages = child<QTabWidget>(main, "Pages");
        const char* const ways[] = {"mInhalt", "Esc", "BackToCatalog", "Reload"};
        for (const char* way : ways) {
            main->actions().mShopAnsehen->setEnabled(true);
            main->actions().mShopAnsehen->trigger();
            auto* v = child<QWebEngineView>(main, "HelpView");
            QTRY_COMPARE_WITH_TIMEOUT(v->title(), QStringLiteral("armed"), 20000);
            QVERIFY(!pages->isVisible());
            QTest::mouseClick(v->focusProxy(), Qt::LeftButton, {}, QPoint(40, 40));
            QTest::qWait(200);
            const QString w = QString::fromUtf8(way);
            if (w == QStringLiteral("Esc")) {
                QTest::keyClick(v->focusProxy(), Qt::Key_Escape);
                QTRY_VERIFY2(pages->isVisible(), way);
            } else if (w == QStringLiteral("BackToCatalog")) {
                child<QPushButton>(main, way)->click();
                QTRY_VERIFY2(pages->isVisible(), way);
            } else if (w == QStringLiteral("mInhalt")) {
                main->actions().mInhalt->trigger();
                QTRY_COMPARE_WITH_TIMEOUT(v->title(), QStringLiteral("Inhalt"), 20000);
            } else {
                v->page()->runJavaScript(QStringLiteral("document.title = 'changed'"));
                QTRY_COMPARE(v->title(), QStringLiteral("changed"));
                child<QPushButton>(main, way)->click();
                QTRY_COMPARE_WITH_TIMEOUT(v->title(), QStringLiteral("armed"), 20000);
            }
            QTest::qWait(300);
            QVERIFY2(dialogs.isEmpty(), qPrintable(w + QStringLiteral(": ") + dialogs.join(QLatin1Char('/'))));
        }
        QVERIFY(main->close());
    }
};

QTEST_MAIN(HelpTest)
#include "HelpTest.moc"
