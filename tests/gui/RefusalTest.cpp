#include "gui/app/Application.h"
#include "gui/app/MainWindow.h"
#include "gui/catalog/CatalogPage.h"
#include "gui/catalog/GroupPanel.h"
#include "gui/catalog/GroupTree.h"
#include "gui/catalog/ItemGrid.h"
#include "gui/catalog/ItemPanel.h"
#include "gui/settings/SettingsDialog.h"

#include "GuiTestSupport.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>

using namespace quillane;
using namespace quillane::gui;
using namespace quillane::gui::test;

namespace {

const char* const kGermany = "[Account]\r\nCountry=Germany\r\n[Connection]\r\nconnection=1\r\n";

void enter(QLineEdit* field, const QString& text)
{
    field->clear();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}

void choose(GroupPanel* groups, const QString& name)
{
    const auto found = groups->tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
    QVERIFY(!found.isEmpty());
    groups->tree()->setCurrentItem(found.first());
}

void addItem(ItemPanel* items, const QString& name, const QString& orderNo)
{
    QTest::keyClicks(items->findChild<QLineEdit*>(QStringLiteral("Bezeichnung")), name);
    QTest::keyClicks(items->findChild<QLineEdit*>(QStringLiteral("BestNr")), orderNo);
    auto* price = items->findChild<QLineEdit*>(QStringLiteral("Preis"));
    QTest::keyClicks(price, QStringLiteral("2"));
    QTest::keyClick(price, Qt::Key_Return);
}

// The first line of a notice of the language file, as the message starts.
QString noticeStart(const std::string& home, const char* language, const char* key)
{
    // Up to where the message names a value.
    const QString text = lng(home, language, "Notices", key);
    const qsizetype end = text.indexOf(QRegularExpression(QStringLiteral("[|#\\[\u201e\"]")));
    return text.left(end);
}

} // namespace

class RefusalTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("LC_ALL", "de_DE.UTF-8"); }

    void surchargeOnAMainGroupWithSubGroupsSaysWhy()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, kGermany);
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        GroupPanel* groups = app.mainWindow()->catalogPage()->groupPanel();
        enter(groups->mainGroupEdit(), QStringLiteral("Food"));
        choose(groups, QStringLiteral("Food"));
        enter(groups->subGroupEdit(), QStringLiteral("Bread"));
        choose(groups, QStringLiteral("Food"));

        groups->findChild<QLineEdit*>(QLatin1String(names::kSurchargeEdit))->setText(QStringLiteral("4"));
        groups->findChild<QPushButton*>(QStringLiteral("OK"))->click();
        QCOMPARE(prompter.told.size(), 1);
        QVERIFY2(prompter.told.first().startsWith(noticeStart(home, "deutsch", "SurchargeSubGroups")),
                 qPrintable(prompter.told.first()));
        QVERIFY(prompter.told.first().contains(QStringLiteral("Food")));
        prompter.answers << Prompter::Answer::No; // not saved
        app.mainWindow()->close();
    }

    void movingAnItemOntoItsOrderNumberSaysWhy()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, kGermany);
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        GroupPanel* groups = app.mainWindow()->catalogPage()->groupPanel();
        ItemPanel* items = app.mainWindow()->catalogPage()->itemPanel();
        enter(groups->mainGroupEdit(), QStringLiteral("Tea"));
        enter(groups->mainGroupEdit(), QStringLiteral("Coffee"));
        choose(groups, QStringLiteral("Tea"));
        addItem(items, QStringLiteral("Green"), QStringLiteral("N1"));
        choose(groups, QStringLiteral("Coffee"));
        addItem(items, QStringLiteral("Dark"), QStringLiteral("N1"));
        QCOMPARE(items->grid()->topLevelItemCount(), 1);

        ItemGrid* grid = items->grid();
        grid->setCurrentItem(grid->topLevelItem(0));
        Q_EMIT grid->customContextMenuRequested(grid->visualItemRect(grid->topLevelItem(0)).center());
        QAction* moveMenu = items->findChild<QAction*>(QStringLiteral("mMoveToGroup"));
        QVERIFY(moveMenu != nullptr && moveMenu->menu() != nullptr);
        QAction* tea = nullptr;
        for (QAction* a : moveMenu->menu()->actions()) {
            if (a->text() == QStringLiteral("Tea")) {
                tea = a;
            }
        }
        QVERIFY(tea != nullptr);
        tea->trigger();
        QCOMPARE(prompter.told.size(), 1);
        QVERIFY2(prompter.told.first().startsWith(noticeStart(home, "deutsch", "OrderNoInGroup")),
                 qPrintable(prompter.told.first()));
        QVERIFY(prompter.told.first().contains(QStringLiteral("N1")));
        QVERIFY(prompter.told.first().contains(QStringLiteral("Tea")));
        QCOMPARE(grid->topLevelItemCount(), 1);   // the item stays where it is
        prompter.answers << Prompter::Answer::No; // not saved
        app.mainWindow()->close();
    }

    void dialUpIsOfferedOnlyWhereItWorks()
    {
        QTemporaryDir dir;
        const std::string home =
            makeHome(dir, "[Account]\r\nCountry=Germany\r\n[Connection]\r\nconnection=2\r\nprovider=Modem\r\n");
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        SettingsDialog* dialog = app.settingsDialog();
        auto* dialUp = child<QRadioButton>(dialog, "DialUp");
        auto* note = child<QLabel>(dialog, "NoDialUp");

        dialog->setDialUpEntries({});
        app.mainWindow()->actions().mEinstellungen->trigger();
        QTRY_VERIFY(dialog->isVisible());
        // The stored choice shows, but it cannot be chosen, and the dialog says why.
        QVERIFY(!dialUp->isEnabled());
        QVERIFY(note->isVisible());
        QVERIFY(note->text().startsWith(noticeStart(home, "deutsch", "NoDialUp")));
        QCOMPARE(dialUp->toolTip(), note->text());
        dialog->reject();

        dialog->setDialUpEntries({"Modem"});
        app.mainWindow()->actions().mEinstellungen->trigger();
        QTRY_VERIFY(dialog->isVisible());
        QVERIFY(dialUp->isEnabled());
        QVERIFY(dialUp->isChecked());
        QVERIFY(!note->isVisible());
        dialog->reject();
        app.mainWindow()->close();
    }
};

QTEST_MAIN(RefusalTest)
#include "RefusalTest.moc"
