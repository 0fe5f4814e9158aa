#include "core/catalog/Project.h"
#include "core/common/Files.h"
#include "gui/app/AboutWindow.h"
#include "gui/app/Application.h"
#include "gui/app/MainWindow.h"
#include "gui/orders/OrdersPage.h"

#include "GuiTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

using namespace quillane;
using namespace quillane::gui;
using namespace quillane::gui::test;

namespace {
const char* const kGermany = "[Account]\r\nCountry=Germany\r\n[Connection]\r\nconnection=1\r\n";
} // namespace

class EverydayTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("LC_ALL", "de_DE.UTF-8"); }

    // Place, page, last project and the project dialogs' folder survive a restart.
    void theWindowRemembersTheLastRun()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, kGermany);
        const QString projects = dir.path() + QStringLiteral("/elsewhere/");
        CreateFolder(fromQ(projects));
        const QString alpha = projects + QStringLiteral("alpha.shp");
        {
            ScriptedPrompter prompter;
            Application app(home, &prompter);
            app.start();
            MainWindow* main = app.mainWindow();
            QVERIFY(!child<QPushButton>(main, "OpenLastProject")->isVisible()); // nothing to offer yet
            // Within the test screen, room for a title bar included: a larger place is made to fit.
            main->setGeometry(4, 32, 786, 600);
            // Save As through its chooser, in a folder of the merchant's choice.
            QTimer::singleShot(0, main, [alpha] {
                auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                QVERIFY(chooser != nullptr);
                chooser->selectFile(alpha);
                QMetaObject::invokeMethod(chooser, "accept");
            });
            QVERIFY(main->Speichernals1Click());
            QVERIFY(FileExists(fromQ(alpha)));
            main->findChild<QTabWidget*>(QStringLiteral("Pages"))->setCurrentWidget(main->ordersPage());
            QVERIFY(main->close());
        }
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        QCOMPARE(main->size(), QSize(786, 600));
        QCOMPARE(main->findChild<QTabWidget*>(QStringLiteral("Pages"))->currentWidget(),
                 static_cast<QWidget*>(main->ordersPage()));
        // The open chooser starts where the last one ended.
        QString startedIn;
        QTimer::singleShot(0, main, [&startedIn] {
            auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(chooser != nullptr);
            startedIn = chooser->directory().absolutePath() + QLatin1Char('/');
            chooser->reject();
        });
        main->actions().mOeffnen->trigger();
        QCOMPARE(startedIn, projects);

        // Offered at start, opened with one click.
        auto* offer = child<QPushButton>(main, "OpenLastProject");
        QVERIFY(offer->isVisible());
        QVERIFY(offer->text().contains(QStringLiteral("alpha")));
        offer->click();
        QCOMPARE(toQ(main->project().File()), alpha);
        QVERIFY(!offer->isVisible());

        // And in the project menu.
        auto* recent = main->findChild<QMenu*>(QStringLiteral("RecentProjectsMenu"));
        QVERIFY(recent != nullptr);
        Q_EMIT recent->aboutToShow();
        QCOMPARE(recent->actions().size(), 1);
        QCOMPARE(recent->actions().first()->text(), QStringLiteral("alpha"));
        QVERIFY(main->close());
    }

    void standardKeysBesideTheProgramsOwn()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, kGermany);
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        const MainActions& a = main->actions();
        const struct {
            QAction* action;
            QKeySequence own;
            QKeySequence standard;
        } cases[] = {
            {a.mNeu, QKeySequence(Qt::ALT | Qt::Key_N), QKeySequence(Qt::CTRL | Qt::Key_N)},
            {a.mOeffnen, QKeySequence(Qt::ALT | Qt::Key_O), QKeySequence(Qt::CTRL | Qt::Key_O)},
            {a.mSpeichern, QKeySequence(Qt::ALT | Qt::Key_S), QKeySequence(Qt::CTRL | Qt::Key_S)},
            {a.mSpeichernals, QKeySequence(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
            {a.mBeenden, QKeySequence(Qt::ALT | Qt::Key_F4), QKeySequence(Qt::CTRL | Qt::Key_Q)},
            {a.mInhalt, QKeySequence(Qt::Key_F1), QKeySequence(Qt::Key_F1)},
        };
        for (const auto& c : cases) {
            const QList<QKeySequence> keys = c.action->shortcuts();
            QVERIFY2(keys.contains(c.standard), qPrintable(c.action->objectName()));
            if (!c.own.isEmpty()) {
                QCOMPARE(c.action->shortcut(), c.own); // the program's own key stays the first
            }
        }
        // No key does two things.
        QSet<QKeySequence> taken;
        for (QAction* action : main->findChildren<QAction*>()) {
            for (const QKeySequence& key : action->shortcuts()) {
                QVERIFY2(!taken.contains(key), qPrintable(key.toString()));
                taken.insert(key);
            }
        }

        // "Über" closes with Esc and with its button.
        AboutWindow* about = app.aboutWindow();
        QTRY_VERIFY(!about->isVisible());
        a.mUeber->trigger();
        QTRY_VERIFY(about->isVisible());
        auto* close = child<QPushButton>(about, "aboutClose");
        QVERIFY(close->isVisible());
        QCOMPARE(close->text(), lng(home, "deutsch", "Buttons", "Schliessen"));
        QTest::keyClick(about, Qt::Key_Escape);
        QTRY_VERIFY(!about->isVisible());
        a.mUeber->trigger();
        QTRY_VERIFY(about->isVisible());
        close->click();
        QTRY_VERIFY(!about->isVisible());
        QVERIFY(main->close());
    }
};

QTEST_MAIN(EverydayTest)
#include "EverydayTest.moc"
