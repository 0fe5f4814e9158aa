#include "gui/import/ImportDialog.h"
#include "core/catalog/Project.h"
#include "core/common/Files.h"
#include "gui/app/Application.h"
#include "gui/app/MainWindow.h"
#include "gui/catalog/CatalogPage.h"
#include "gui/catalog/GroupPanel.h"
#include "gui/catalog/GroupTree.h"
#include "gui/catalog/ItemGrid.h"
#include "gui/catalog/ItemPanel.h"

#include "GuiTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <cstdlib>

using namespace quillane;
using namespace quillane::gui;
using namespace quillane::gui::test;

namespace {

const char* const kGermany = "[Account]\r\nCountry=Germany\r\n[Connection]\r\nconnection=1\r\n";

// A workbook written by the tests' spreadsheet script from rows as JSON.
QString writeXlsx(const QTemporaryDir& dir, const char* rowsJson)
{
    const std::string json = dir.path().toStdString() + "/rows.json";
    const std::string out = dir.path().toStdString() + "/Lieferant.xlsx";
    WriteTextFile(json, rowsJson);
    const std::string command = std::string("'") + QUILLANE_FIXTURE_PYTHON + "' '" + QUILLANE_SPREADSHEET_SCRIPT +
                                "' xlsx '" + out + "' '" + json + "'";
    if (std::system(command.c_str()) != 0) {
        qFatal("cannot write %s", out.c_str());
    }
    return toQ(out);
}

void choose(QComboBox* box, int index)
{
    box->setCurrentIndex(index);
    Q_EMIT box->activated(index);
}

// The shown group's items as "order number name price".
QStringList listed(ItemPanel* items)
{
    QStringList rows;
    QTreeWidget* grid = items->grid();
    for (int i = 0; i < grid->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = grid->topLevelItem(i);
        rows << row->text(3) + QLatin1Char(' ') + row->text(2) + QLatin1Char(' ') + row->text(4);
    }
    return rows;
}

void showGroup(MainWindow* main, const QString& name)
{
    QTreeWidget* tree = main->catalogPage()->groupPanel()->tree();
    const QList<QTreeWidgetItem*> found = tree->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
    QVERIFY2(!found.isEmpty(), qPrintable(name));
    tree->setCurrentItem(found.first());
}

} // namespace

class ImportDialogTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("LC_ALL", "de_DE.UTF-8"); }

    void theChosenColumnsBecomeItemsAndTheImportCanBeTakenBack()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, kGermany);
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        ItemPanel* items = main->catalogPage()->itemPanel();

        // An item the import will replace.
        GroupPanel* groups = main->catalogPage()->groupPanel();
        groups->mainGroupEdit()->setText(QStringLiteral("Werkzeug"));
        QTest::keyClick(groups->mainGroupEdit(), Qt::Key_Return);
        showGroup(main, QStringLiteral("Werkzeug"));
        QTest::keyClicks(items->findChild<QLineEdit*>(QStringLiteral("Bezeichnung")), QStringLiteral("Alter Hammer"));
        QTest::keyClicks(items->findChild<QLineEdit*>(QStringLiteral("BestNr")), QStringLiteral("H-1"));
        QLineEdit* price = items->findChild<QLineEdit*>(QStringLiteral("Preis"));
        QTest::keyClicks(price, QStringLiteral("1"));
        QTest::keyClick(price, Qt::Key_Return);
        const QStringList before = listed(items);
        QCOMPARE(before, QStringList{QStringLiteral("H-1 Alter Hammer 1,00 €")});

        const QString file = writeXlsx(dir, R"([["Gruppe", "Artikel", "Preis", "Nummer"],
            ["Werkzeug", "Hammer", 12.5, "H-1"],
            [null, "Säge", "8,00", "S-1"],
            ["Werkzeug", "", 3, "X-1"],
            ["Garten", "Spaten", 20, "G-1"]])");
        ImportDialog* dialog = app.importDialog();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QVERIFY(dialog->OpenImportFile(file));
        auto* grid = child<QTableView>(dialog, "FileGrid");
        QAbstractItemModel* model = grid->model();
        QCOMPARE(model->rowCount(), 5);
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("A"));
        QCOMPARE(model->headerData(3, Qt::Horizontal).toString(), QStringLiteral("D"));
        QCOMPARE(model->data(model->index(2, 1)).toString(), QStringLiteral("Säge"));

        // The price caption is one with the item panel's, either way round.
        auto* caption = child<QLabel>(dialog, "ImportPriceCaption");
        QCOMPARE(caption->text(), items->priceCaption()->text());
        QTest::mouseClick(caption, Qt::LeftButton);
        QCOMPARE(items->priceCaption()->text(), caption->text());
        QVERIFY(caption->text().contains(lng(home, "deutsch", "Rechnung", "gross")));
        QTest::mouseClick(items->priceCaption(), Qt::LeftButton);
        QVERIFY(caption->text().contains(lng(home, "deutsch", "Rechnung", "net")));

        // Without all four columns nothing is imported.
        auto* importButton = child<QPushButton>(dialog, "ImportButton");
        QTest::mouseClick(importButton, Qt::LeftButton);
        QCOMPARE(prompter.told, QStringList{lng(home, "deutsch", "MsgBox", "8")});
        prompter.told.clear();

        const char* columns[] = {"GroupColumn", "NameColumn", "PriceColumn", "OrderNoColumn"};
        for (int c = 0; c < 4; ++c) {
            choose(child<QComboBox>(dialog, columns[c]), c);
        }
        // The chosen columns are headed by their field's caption.
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Produktgruppe"));
        QCOMPARE(model->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Best.-Nr."));

        // The block below the headings, but not the last row, is imported,
        // after the merchant saw what will happen.
        grid->selectionModel()->select(QItemSelection(model->index(1, 0), model->index(3, 3)),
                                       QItemSelectionModel::ClearAndSelect);
        prompter.answers << Prompter::Answer::Yes;
        QTest::mouseClick(importButton, Qt::LeftButton);
        QCOMPARE(prompter.questions.size(), 1);
        const QString question = prompter.questions.first();
        for (const char* expected :
             {"Neue Artikel: 1", "Ersetzte Artikel: 1", "Zeilen: 1", "Zeile 4: Die Bezeichnung fehlt."}) {
            QVERIFY2(question.contains(QString::fromUtf8(expected)), qPrintable(question));
        }
        QCOMPARE(prompter.told, QStringList{lng(home, "deutsch", "MsgBox", "10")});
        QVERIFY(main->project().Changed());

        showGroup(main, QStringLiteral("Werkzeug"));
        QTRY_COMPARE(listed(items),
                     (QStringList{QStringLiteral("H-1 Hammer 12,50 €"), QStringLiteral("S-1 Säge 8,00 €")}));
        QVERIFY(groups->tree()->findItems(QStringLiteral("Garten"), Qt::MatchExactly).isEmpty());

        // The same layout again: the columns come back as chosen, and the
        // import can still be taken back.
        QVERIFY(dialog->OpenImportFile(file));
        for (int c = 0; c < 4; ++c) {
            QCOMPARE(child<QComboBox>(dialog, columns[c])->currentIndex(), c);
        }
        // Taking it back brings the list as it was.
        auto* undo = child<QPushButton>(dialog, "UndoButton");
        QVERIFY(undo->isEnabled());
        QTest::mouseClick(undo, Qt::LeftButton);
        showGroup(main, QStringLiteral("Werkzeug"));
        QTRY_COMPARE(listed(items), before);
        QVERIFY(!undo->isEnabled());
    }

    void theHeaderRowIsTickedAndAnOperationIsTakenBackAtOnce()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, kGermany);
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        ItemPanel* items = main->catalogPage()->itemPanel();
        GroupPanel* groups = main->catalogPage()->groupPanel();
        groups->mainGroupEdit()->setText(QStringLiteral("Werkzeug"));
        QTest::keyClick(groups->mainGroupEdit(), Qt::Key_Return);
        showGroup(main, QStringLiteral("Werkzeug"));
        QTest::keyClicks(items->findChild<QLineEdit*>(QStringLiteral("Bezeichnung")), QStringLiteral("Zange"));
        QTest::keyClicks(items->findChild<QLineEdit*>(QStringLiteral("BestNr")), QStringLiteral("Z-1"));
        QLineEdit* price = items->findChild<QLineEdit*>(QStringLiteral("Preis"));
        QTest::keyClicks(price, QStringLiteral("4"));
        QTest::keyClick(price, Qt::Key_Return);
        const QStringList before = listed(items);

        // A sub group of the shown main group, which holds an item: the window shows the tree
        // anew and stores the shown group on the way.
        const QString file = writeXlsx(dir, R"([["Gruppe", "Artikel", "Preis", "Nummer"],
            ["Werkzeug|Hämmer", "Hammer", "1.234,50", "H-1"],
            ["Werkzeug", "Säge", "auf Anfrage", "S-1"],
            ["Werkzeug", "Zange neu", 7, "Z-1"]])");
        ImportDialog* dialog = app.importDialog();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QVERIFY(dialog->OpenImportFile(file));
        auto* header = child<QCheckBox>(dialog, "HeaderRowBox");
        QVERIFY(header->isChecked());
        const char* columns[] = {"GroupColumn", "NameColumn", "PriceColumn", "OrderNoColumn"};
        for (int c = 0; c < 4; ++c) {
            choose(child<QComboBox>(dialog, columns[c]), c);
        }
        QVERIFY(header->isChecked());
        // "Brutto" beside the price column is one with the caption, either way round.
        auto* gross = child<QCheckBox>(dialog, "GrossPriceBox");
        auto* caption = child<QLabel>(dialog, "ImportPriceCaption");
        QVERIFY(!gross->isChecked());
        gross->click();
        QVERIFY(caption->text().contains(lng(home, "deutsch", "Rechnung", "gross")));
        QCOMPARE(items->priceCaption()->text(), caption->text());
        QTest::mouseClick(caption, Qt::LeftButton);
        QVERIFY(!gross->isChecked());

        // The heading row is no item, the unreadable price a reason, the decimal comma named.
        auto* importButton = child<QPushButton>(dialog, "ImportButton");
        prompter.answers << Prompter::Answer::Yes;
        QTest::mouseClick(importButton, Qt::LeftButton);
        QCOMPARE(prompter.questions.size(), 1);
        const QString question = prompter.questions.takeFirst();
        for (const char* expected : {"Neue Artikel: 1", "Ersetzte Artikel: 1", "Zeilen: 1",
                                     "Zeile 3: Der Preis „auf Anfrage“ ist keine Zahl.", "Dezimalkomma"}) {
            QVERIFY2(question.contains(QString::fromUtf8(expected)), qPrintable(question));
        }
        QVERIFY2(!question.contains(QStringLiteral("Zeile 1")), qPrintable(question));
        showGroup(main, QStringLiteral("Hämmer"));
        QTRY_COMPARE(listed(items), QStringList{QStringLiteral("H-1 Hammer 1.234,50 €")});
        showGroup(main, QStringLiteral("Werkzeug"));

        // Taken back at once, without another file or click between.
        auto* undo = child<QPushButton>(dialog, "UndoButton");
        QVERIFY(undo->isEnabled());
        prompter.told.clear();
        QTest::mouseClick(undo, Qt::LeftButton);
        QCOMPARE(prompter.told, QStringList{lng(home, "deutsch", "Import", "Undone")});
        showGroup(main, QStringLiteral("Werkzeug"));
        QTRY_COMPARE(listed(items), before);

        // A price update shows what it will do first; taken back, its rows return to the grid.
        auto* grid = child<QTableView>(dialog, "FileGrid");
        auto* update = child<QCheckBox>(dialog, "PriceUpdateBox");
        update->setChecked(true);
        // Only order number and price count: the other two need not be chosen.
        for (const char* unused : {"GroupColumn", "NameColumn"}) {
            auto* box = child<QComboBox>(dialog, unused);
            QVERIFY(!box->isEnabled());
            box->setCurrentIndex(-1);
        }
        QCOMPARE(grid->model()->rowCount(), 4);
        prompter.answers << Prompter::Answer::No;
        QTest::mouseClick(importButton, Qt::LeftButton);
        QCOMPARE(prompter.questions.size(), 1);
        QVERIFY2(prompter.questions.takeFirst().contains(QStringLiteral("Aktualisierte Preise: 1")),
                 qPrintable(prompter.questions.join(QLatin1Char('\n'))));
        QTRY_COMPARE(listed(items), before);
        prompter.answers << Prompter::Answer::Yes;
        QTest::mouseClick(importButton, Qt::LeftButton);
        QTRY_COMPARE(listed(items), QStringList{QStringLiteral("Z-1 Zange 7,00 €")});
        QCOMPARE(grid->model()->rowCount(), 3);
        QVERIFY(undo->isEnabled());
        QTest::mouseClick(undo, Qt::LeftButton);
        QTRY_COMPARE(listed(items), before);
        QCOMPARE(grid->model()->rowCount(), 4);
        QVERIFY(update->isEnabled());
        QVERIFY(child<QComboBox>(dialog, "PriceColumn")->isEnabled());
    }

    void aFileThatCannotBeReadChangesNothing()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, kGermany);
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        const QString file = writeXlsx(dir, R"([["a", "b"], ["1", "2"]])");
        ImportDialog* dialog = app.importDialog();
        dialog->show();
        QVERIFY(dialog->OpenImportFile(file));

        const QString broken = dir.path() + QStringLiteral("/kaputt.xlsx");
        WriteTextFile(fromQ(broken), "PK not a workbook");
        QVERIFY(!dialog->OpenImportFile(broken));
        QCOMPARE(prompter.told.size(), 1);
        QVERIFY2(prompter.told.first().contains(broken), qPrintable(prompter.told.first()));
        QVERIFY(dialog->isVisible());
        QCOMPARE(child<QTableView>(dialog, "FileGrid")->model()->rowCount(), 2);
        QCOMPARE(child<QComboBox>(dialog, "GroupColumn")->count(), 2);
    }
};

QTEST_MAIN(ImportDialogTest)
#include "ImportDialogTest.moc"
