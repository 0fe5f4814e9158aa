#include "gui/generator/GenerationDialog.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "gui/app/Application.h"
#include "gui/app/MainWindow.h"
#include "gui/common/QtText.h"

#include "../ShopFixture.h"
#include "GuiTestSupport.h"

#include "cli/CliApp.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

using namespace quillane;
using namespace quillane::gui;
using namespace quillane::gui::test;

namespace {

QStringList entries(QComboBox* box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i) {
        texts << box->itemText(i);
    }
    return texts;
}

int today()
{
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return t.tm_yday;
}

} // namespace

class GenerationDialogTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("LC_ALL", "de_DE.UTF-8"); }

    void theRunBuildsTheShopTheCommandLineToolBuilds()
    {
        QTemporaryDir dir;
        const std::string home = dir.path().toStdString() + "/home/";
        const std::string copy = dir.path().toStdString() + "/copy/";
        quillane::test::makeShopHome(home);
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        QVERIFY(main->openProjectFile(toQ(home + "Projekte/Alpha.shp")));
        // The tool later builds from the program folder as the window found it.
        std::filesystem::copy(home, copy, std::filesystem::copy_options::recursive);

        main->actions().mShopErstellen->trigger();
        GenerationDialog* dialog = app.generationDialog();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));

        // The three choice lists offer only their entries, set from the profile.
        auto* prices = child<QComboBox>(dialog, names::kPriceCombo);
        auto* layout = child<QComboBox>(dialog, names::kLayoutCombo);
        auto* view = child<QComboBox>(dialog, names::kViewCombo);
        for (QComboBox* box : {prices, layout, view}) {
            QVERIFY2(!box->isEditable(), qPrintable(box->objectName()));
        }
        QCOMPARE(entries(prices),
                 (QStringList{lng(home, "deutsch", "Rechnung", "net"), lng(home, "deutsch", "Rechnung", "gross")}));
        QCOMPARE(prices->currentIndex(), 1);
        QCOMPARE(entries(layout), (QStringList{QStringLiteral("classic"), QStringLiteral("standard")}));
        QCOMPARE(layout->currentText(), QStringLiteral("standard"));
        QCOMPARE(entries(view), (QStringList{lng(home, "deutsch", "Shop", "dtl"), lng(home, "deutsch", "Shop", "pro"),
                                             lng(home, "deutsch", "Shop", "std")}));
        QCOMPARE(view->currentIndex(), 2);
        QCOMPARE(child<QLineEdit>(dialog, names::kItemsStdEdit)->text(), QStringLiteral("12"));
        QCOMPARE(child<QLineEdit>(dialog, names::kItemsProEdit)->text(), QStringLiteral("6"));
        QCOMPARE(child<QLineEdit>(dialog, names::kItemsDtlEdit)->text(), QStringLiteral("2"));
        QVERIFY(child<QCheckBox>(dialog, names::kXxlBox)->isChecked());
        QVERIFY(child<QLabel>(dialog, "NoLayout")->isHidden());

        // The served countries in table order; the home country is checked
        // although the profile does not list it, and it is the one shown.
        auto* countries = child<QListWidget>(dialog, "Laender");
        QStringList names;
        QList<Qt::CheckState> checks;
        for (int i = 0; i < countries->count(); ++i) {
            names << countries->item(i)->text();
            checks << countries->item(i)->checkState();
        }
        QCOMPARE(names, (QStringList{QStringLiteral("Deutschland (Germany)"), QStringLiteral("Österreich (Austria)"),
                                     QStringLiteral("Schweiz (Switzerland)"), QStringLiteral("United Kingdom")}));
        QCOMPARE(checks, (QList<Qt::CheckState>{Qt::Checked, Qt::Unchecked, Qt::Checked, Qt::Checked}));
        QCOMPARE(countries->currentRow(), 0);
        QCOMPARE(child<QGroupBox>(dialog, "CountryPanel")->title(), QStringLiteral("Germany"));
        QCOMPARE(child<QComboBox>(dialog, "lang")->currentText(), QStringLiteral("deutsch"));
        QCOMPARE(child<QLineEdit>(dialog, "shipping")->text(), QStringLiteral("4.90"));
        QCOMPARE(child<QLineEdit>(dialog, "codfee")->text(), QStringLiteral("2.50"));

        // Unchecking the home country does not take it out of the shop.
        countries->item(0)->setCheckState(Qt::Unchecked);
        auto* progress = child<QProgressBar>(dialog, "Progress");
        QList<int> steps;
        connect(progress, &QProgressBar::valueChanged, this, [&steps](int value) { steps << value; });
        auto* create = child<QPushButton>(dialog, names::kCreateButton);
        auto* viewShop = child<QPushButton>(dialog, names::kViewShopButton);
        QVERIFY(create->isEnabled());
        QVERIFY(viewShop->isHidden());
        const int day = today();
        QTest::mouseClick(create, Qt::LeftButton);
        QTRY_VERIFY(viewShop->isVisible());

        QVERIFY2(prompter.told.isEmpty(), qPrintable(prompter.told.join(QLatin1Char('\n'))));
        QVERIFY(create->isHidden());
        QCOMPARE(countries->item(0)->checkState(), Qt::Checked);
        QCOMPARE(progress->value(), progress->maximum());
        QVERIFY2(std::is_sorted(steps.begin(), steps.end()), qPrintable(QString::number(steps.size())));
        QVERIFY(std::any_of(steps.begin(), steps.end(), [](int v) { return v > 0 && v < 100; }));
        QCOMPARE(child<QLabel>(dialog, "Status")->text(),
                 QStringLiteral("[100%] - ") + lng(home, "deutsch", "Status", "4"));

        // The command-line tool builds the same bytes from the same project.
        std::ostringstream out, err;
        QCOMPARE(cli::RunCli({"--home", copy, "generate", "Alpha"}, out, err), 0);
        if (today() != day) {
            QSKIP("the date changed between the two runs; the shops' dates differ");
        }
        const auto fromWindow = quillane::test::filesUnder(home + "Projekte/Alpha/shop/");
        const auto fromTool = quillane::test::filesUnder(copy + "Projekte/Alpha/shop/");
        QVERIFY(fromWindow.count("index.html") == 1 && fromWindow.count("database/db_0.js") == 1);
        QStringList differing;
        for (const auto& [name, bytes] : fromWindow) {
            const auto other = fromTool.find(name);
            if (other == fromTool.end() || other->second != bytes) {
                differing << toQ(name);
            }
        }
        for (const auto& [name, bytes] : fromTool) {
            if (fromWindow.count(name) == 0) {
                differing << toQ(name) + QStringLiteral(" (tool only)");
            }
        }
        QVERIFY2(differing.isEmpty(), qPrintable(differing.join(QStringLiteral(", "))));
        QVERIFY(main->close());
    }

    void withoutALayoutNothingCanBeBuilt()
    {
        QTemporaryDir dir;
        const std::string home = dir.path().toStdString() + "/";
        quillane::test::makeShopHome(home);
        std::filesystem::remove_all(home + "layouts");
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        QVERIFY(main->openProjectFile(toQ(home + "Projekte/Alpha.shp")));
        main->actions().mShopErstellen->trigger();
        GenerationDialog* dialog = app.generationDialog();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));

        auto* notice = child<QLabel>(dialog, "NoLayout");
        QVERIFY(notice->isVisible());
        QVERIFY2(notice->text().contains(toQ(home + "layouts/")), qPrintable(notice->text()));
        QCOMPARE(child<QComboBox>(dialog, names::kLayoutCombo)->count(), 0);
        auto* create = child<QPushButton>(dialog, names::kCreateButton);
        QVERIFY(create->isVisible());
        QVERIFY(!create->isEnabled());
        QVERIFY(main->close());
    }

    void aRunThatCouldOnlyBuildABrokenShopIsRefused()
    {
        struct Case {
            const char* what;
            std::function<void(const std::string& home)> change; // after start, before the dialog shows
            QStringList message;
        } cases[] = {
            {"settings without a connection kind",
             [](const std::string& h) { WriteTextFile(h + "quillane.ini", "[Account]\r\nCountry=Germany\r\n"); },
             {QStringLiteral("quillane.ini"), QStringLiteral("set the program up first")}},
            {"the home country not served",
             [](const std::string& h) {
                 IniFile table(h + "countries.dat");
                 table.WriteString("Germany", "Active", "0");
                 table.UpdateFile();
             },
             {QStringLiteral("Germany"), QStringLiteral("not served")}},
            {"no country served",
             [](const std::string& h) {
                 IniFile table(h + "countries.dat");
                 for (const char* country : {"Germany", "Austria", "Switzerland", "United Kingdom"}) {
                     table.WriteString(country, "Active", "0");
                 }
                 table.UpdateFile();
             },
             {QStringLiteral("serves no country")}},
        };
        for (const Case& c : cases) {
            QTemporaryDir dir;
            const std::string home = dir.path().toStdString() + "/";
            quillane::test::makeShopHome(home);
            const std::string shop = home + "Projekte/Alpha/shop/";
            std::filesystem::create_directories(shop);
            WriteTextFile(shop + "index.html", "the shop of an earlier run");
            ScriptedPrompter prompter;
            Application app(home, &prompter);
            app.start();
            MainWindow* main = app.mainWindow();
            QVERIFY(main->openProjectFile(toQ(home + "Projekte/Alpha.shp")));
            c.change(home);
            main->actions().mShopErstellen->trigger();
            GenerationDialog* dialog = app.generationDialog();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));

            auto* create = child<QPushButton>(dialog, names::kCreateButton);
            QTest::mouseClick(create, Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(prompter.told.size(), 1, 2000);
            for (const QString& part : c.message) {
                QVERIFY2(prompter.told.first().contains(part),
                         qPrintable(QString::fromUtf8(c.what) + QStringLiteral(": ") + prompter.told.first()));
            }
            QVERIFY2(create->isVisible() && create->isEnabled(), c.what);
            QVERIFY2(child<QPushButton>(dialog, names::kViewShopButton)->isHidden(), c.what);
            QCOMPARE(quillane::test::filesUnder(shop),
                     (std::map<std::string, std::string>{{"index.html", "the shop of an earlier run"}}));
            dialog->close();
            QVERIFY(main->close());
        }
    }

    void typedCommasBecomePointsAndEnterMovesOn()
    {
        QTemporaryDir dir;
        const std::string home = dir.path().toStdString() + "/";
        quillane::test::makeShopHome(home);
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        QVERIFY(main->openProjectFile(toQ(home + "Projekte/Alpha.shp")));
        main->actions().mShopErstellen->trigger();
        GenerationDialog* dialog = app.generationDialog();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        child<QListWidget>(dialog, "Laender")->setCurrentRow(2); // Switzerland: outside the EU
        for (const char* name : {names::kItemsStdEdit, "currency", "eurorate", "shipping"}) {
            auto* field = child<QLineEdit>(dialog, name);
            field->clear();
            QTest::keyClicks(field, QStringLiteral("1,5"));
            QCOMPARE(field->text(), QStringLiteral("1.5"));
            field->setFocus();
            QTRY_COMPARE(QApplication::focusWidget(), field);
            QTest::keyClick(field, Qt::Key_Return);
            QVERIFY2(QApplication::focusWidget() != field, name);
            QVERIFY(dialog->isVisible());
        }
        QVERIFY(main->close());
    }

    void aBadRateOrFeeIsRefusedWhereItIsTyped()
    {
        QTemporaryDir dir;
        const std::string home = dir.path().toStdString() + "/";
        quillane::test::makeShopHome(home);
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        QVERIFY(main->openProjectFile(toQ(home + "Projekte/Alpha.shp")));
        main->actions().mShopErstellen->trigger();
        GenerationDialog* dialog = app.generationDialog();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        auto* countries = child<QListWidget>(dialog, "Laender");
        auto* panel = child<QGroupBox>(dialog, "CountryPanel");
        countries->setCurrentRow(2);
        const std::string table = ReadFile(home + "countries.dat");
        const std::string profile = ReadFile(home + "Projekte/Alpha/daten/shopprofil.ini");

        struct Case {
            const char* field;
            const char* typed;
            const char* named;
            std::function<void()> leave;
        } cases[] = {
            {"eurorate", "0", "exchange rate", [&] { countries->setCurrentRow(3); }},
            {"eurorate", "eins", "exchange rate", [&] { countries->setCurrentRow(0); }},
            {"shipping", "frei", "shipping", [&] { QVERIFY(!dialog->closeAndSave()); }},
            {"codfee", "-2", "cash-on-delivery", [&] { QVERIFY(!dialog->createShop()); }},
        };
        for (const Case& c : cases) {
            countries->setCurrentRow(2);
            QCOMPARE(panel->title(), QStringLiteral("Switzerland"));
            auto* field = child<QLineEdit>(dialog, c.field);
            field->setText(QString::fromUtf8(c.typed));
            prompter.told.clear();
            c.leave();

            QCOMPARE(prompter.told.size(), 1);
            QVERIFY2(prompter.told.first().contains(QStringLiteral("Switzerland")) &&
                         prompter.told.first().contains(QString::fromUtf8(c.named)) &&
                         prompter.told.first().contains(QString::fromUtf8(c.typed)),
                     qPrintable(prompter.told.first()));
            // The panel stays with the country and the text as typed, to be mended.
            QCOMPARE(countries->currentRow(), 2);
            QCOMPARE(panel->title(), QStringLiteral("Switzerland"));
            QCOMPARE(field->text(), QString::fromUtf8(c.typed));
            QVERIFY(dialog->isVisible());
            QCOMPARE(ReadFile(home + "countries.dat"), table);
            QCOMPARE(ReadFile(home + "Projekte/Alpha/daten/shopprofil.ini"), profile);
            QVERIFY(!FileExists(home + "Projekte/Alpha/shop/index.html"));
            field->setText(field->objectName() == QStringLiteral("eurorate") ? QStringLiteral("0.94")
                                                                             : QStringLiteral("0.00"));
        }
        QVERIFY(main->close());
    }
};

QTEST_MAIN(GenerationDialogTest)
#include "GenerationDialogTest.moc"
