#include "gui/app/MainWindow.h"
#include "core/catalog/Project.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Prompter.h"
#include "gui/app/AboutWindow.h"
#include "gui/app/Application.h"
#include "gui/catalog/CatalogPage.h"
#include "gui/catalog/GroupPanel.h"
#include "gui/catalog/GroupTree.h"
#include "gui/catalog/ItemGrid.h"
#include "gui/catalog/ItemPanel.h"
#include "gui/common/QtText.h"
#include "gui/settings/SettingsDialog.h"
#include "gui/settings/ShopProfileDialog.h"

#include "GuiTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>

using namespace quillane;
using namespace quillane::gui;
using namespace quillane::gui::test;

namespace {

const char* const kGermany = "[Account]\r\nCountry=Germany\r\n[Connection]\r\nconnection=1\r\n";

// The file's bytes, or "(none)" while it does not exist.
std::string contentOf(const std::string& path)
{
    std::string content;
    return TryReadFile(path, content) ? content : std::string("(none)");
}

// Types into a field as the merchant does and presses Enter.
void enter(QLineEdit* field, const QString& text)
{
    field->clear();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}

QLineEdit* field(ItemPanel* items, const char* name)
{
    return items->findChild<QLineEdit*>(QString::fromUtf8(name));
}

// Adds a main group and chooses it.
void chooseNewGroup(MainWindow* main, const QString& name)
{
    GroupPanel* groups = main->catalogPage()->groupPanel();
    enter(groups->mainGroupEdit(), name);
    groups->tree()->setCurrentItem(groups->tree()->findItems(name, Qt::MatchExactly).first());
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("LC_ALL", "de_DE.UTF-8"); }

    void setupStateShowsTheFirstTimePrompt()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, nullptr);
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();

        QCOMPARE(main->windowTitle(), QStringLiteral("[unbenannt] - Quillane"));
        QCOMPARE(main->statusText(0), lng(home, "deutsch", "Status", "0"));
        QCOMPARE(main->statusText(1), QStringLiteral("0 ") + lng(home, "deutsch", "Status", "6"));
        QCOMPARE(app.state().StartupStatus, std::string("setup"));
        QCOMPARE(app.state().User.Country.Name, std::string("Germany")); // from the system language
        QCOMPARE(app.state().User.Connection, 1);
        QCOMPARE(main->catalogLanguage()->currentText(), QStringLiteral("deutsch"));

        QVERIFY(!main->actions().mAccountmanager->isEnabled());
        QVERIFY(!main->actions().mProfil->isEnabled());
        const MainActions& actions = main->actions();
        for (const QAction* a : {actions.mSpeichern, actions.mShopErstellen, actions.mShopAnsehen,
                                 actions.mShopPublizieren, actions.mEigenschaften, actions.mGestaltung}) {
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
        }
        for (const QAction* a :
             {actions.mNeu, actions.mOeffnen, actions.mImportieren, actions.mSpeichernals, actions.mBeenden,
              actions.mEinstellungen, actions.mInhalt, actions.mUeber, actions.mArtikelverw, actions.mBestellung}) {
            QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
        }
        QCOMPARE(main->actions().mNeu->text(), lng(home, "deutsch", "Actions", "mNeu"));
        QCOMPARE(main->actions().mShopErstellen->shortcut(), QKeySequence(Qt::Key_F5));
        QCOMPARE(main->actions().mNeu->shortcut(), QKeySequence(Qt::ALT | Qt::Key_N));

        AboutWindow* about = app.aboutWindow();
        QVERIFY(about->isVisible());
        QCOMPARE(about->findChild<QLabel*>(QStringLiteral("aboutTitle"))->text(),
                 lng(home, "deutsch", "Notices", "FirstSetup"));
        QCOMPARE(about->findChild<QLabel*>(QStringLiteral("aboutPrompt"))->text(),
                 lng(home, "deutsch", "MsgBox", "20"));
        QVERIFY(about->findChild<QLabel*>(QStringLiteral("aboutOk"))->isVisible());
        QVERIFY(about->findChild<QLabel*>(QStringLiteral("aboutCancel"))->isVisible());
        QVERIFY(!about->findChild<QLabel*>(QStringLiteral("aboutNotice"))->isVisible());
        QVERIFY(!about->findChild<QLabel*>(QStringLiteral("aboutOk"))->pixmap().isNull());
        // The two signs say what they do.
        QCOMPARE(child<QLabel>(about, "aboutOk")->toolTip(), lng(home, "deutsch", "Tips", "aboutOk"));
        QCOMPARE(child<QLabel>(about, "aboutCancel")->toolTip(), lng(home, "deutsch", "Tips", "aboutCancel"));

        // The prompt stays; "ok" leads to the settings dialog.
        QTest::qWait(Application::kSplashMilliseconds + 300);
        QVERIFY(about->isVisible());
        QTest::mouseClick(about->findChild<QLabel*>(QStringLiteral("aboutOk")), Qt::LeftButton);
        QTRY_VERIFY(!about->isVisible());
        QVERIFY(app.settingsDialog()->isVisible());
        main->close();
    }

    void normalStateClosesTheSplashByItself()
    {
        QTemporaryDir dir;
        const std::string home =
            makeHome(dir, "[Account]\r\nUserID=shop7\r\nCountry=Switzerland\r\n[Connection]\r\nconnection=1\r\n");
        CreateFolder(home + "temp");
        WriteTextFile(home + "temp/recovery.dat", "Alpha");
        ScriptedPrompter prompter;
        prompter.answers << Prompter::Answer::Yes; // recovered: the working files stay for closing to delete
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        AboutWindow* about = app.aboutWindow();

        QCOMPARE(app.state().StartupStatus, std::string());
        QCOMPARE(prompter.asked, QStringList{QStringLiteral("Recover?")}); // before the splash closes
        QVERIFY(about->isVisible());
        QVERIFY(main->actions().mAccountmanager->isEnabled());
        QVERIFY(main->actions().mProfil->isEnabled());
        QCOMPARE(about->findChild<QLabel*>(QStringLiteral("aboutTitle"))->text(), QStringLiteral("SHOP7"));
        QVERIFY(about->findChild<QLabel*>(QStringLiteral("aboutNotice"))->isVisible());
        QVERIFY(!about->findChild<QLabel*>(QStringLiteral("aboutOk"))->isVisible());
        // Swiss prices show in francs: the "Geld" labels follow the home currency.
        QCOMPARE(main->findChild<QLabel*>(QStringLiteral("PriceCurrency"))->text(), QStringLiteral("CHF"));
        QTRY_VERIFY_WITH_TIMEOUT(!about->isVisible(), 3000);

        // "About" shows the window again, as start-up left it.
        main->actions().mUeber->trigger();
        QVERIFY(about->isVisible());
        QTest::keyClick(about, Qt::Key_Escape);
        QTRY_VERIFY(!about->isVisible());

        // Closing deletes the working files, so the next start offers no recovery.
        QVERIFY(main->close());
        QVERIFY(!FileExists(home + "temp/recovery.dat"));
    }

    void layoutFollowsTheTranslationMode()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, "[Account]\r\nCountry=Germany\r\n[Connection]\r\nconnection=1\r\n");
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        CatalogPage* page = main->catalogPage();
        GroupPanel* groups = page->groupPanel();
        ItemPanel* items = page->itemPanel();
        // The window opens within the screen, never below its minimum size.
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY2(screen.contains(main->frameGeometry()),
                 qPrintable(QStringLiteral("%1x%2").arg(main->width()).arg(main->height())));
        QVERIFY(main->width() >= 780 && main->height() >= 580);
        main->resize(1000, 800);

        // The geometry at this window size: four buttons of one width side by
        // side, the name column taking what the others leave, the tree between
        // the entry fields and the shipping box.
        QCOMPARE(items->buttonPanel()->findChildren<QPushButton*>().size(), 4);
        const std::pair<const char*, QRect> buttons[] = {{"Hinzufuegen", QRect(8, 4, 166, 26)},
                                                         {"Einfuegen", QRect(182, 4, 166, 26)},
                                                         {"Ersetzen", QRect(356, 4, 166, 26)},
                                                         {"Entfernen", QRect(530, 4, 166, 26)}};
        for (const auto& [name, geometry] : buttons) {
            QCOMPARE(child<QPushButton>(items->buttonPanel(), name)->geometry(), geometry);
        }
        QTreeWidget* list = items->grid();
        QCOMPARE(list->columnWidth(0), 24);
        QCOMPARE(list->columnWidth(2), 480);
        QCOMPARE(groups->tree()->geometry(), QRect(4, 68, 242, 552));
        QCOMPARE(groups->shippingBox()->geometry(), QRect(4, 627, 242, 45));
        QVERIFY(groups->shippingBox()->isVisible());

        app.state().TranslationMode = true;
        main->FormResize();
        QCOMPARE(page->palette().color(QPalette::Window), QColor(192, 0, 0));
        QVERIFY(!groups->shippingBox()->isVisible());
        // Over the entry fields; the banner above the page takes its share of the height.
        QTRY_VERIFY(child<QWidget>(main, "TranslationBanner")->isVisible());
        QCOMPARE(groups->tree()->geometry(), QRect(4, 20, 242, groups->height() - 32));
        app.state().TranslationMode = false;
        main->FormResize();
        QCOMPARE(page->palette().color(QPalette::Window), QColor(192, 192, 192));
        main->close();
    }

    void switchingTheLanguageChangesCaptions()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, "[Account]\r\nCountry=Germany\r\n[Connection]\r\nconnection=1\r\n");
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        auto* add = main->findChild<QPushButton*>(QStringLiteral("Hinzufuegen"));
        QCOMPARE(add->text(), lng(home, "deutsch", "Buttons", "Hinzufuegen"));
        main->Translate("english");
        QCOMPARE(add->text(), lng(home, "english", "Buttons", "Hinzufuegen"));
        QCOMPARE(main->actions().mInhalt->text(), lng(home, "english", "Actions", "mInhalt"));
        // Context menus too.
        QCOMPARE(main->findChild<QAction*>(QStringLiteral("mMoveUp"))->text(),
                 lng(home, "english", "Actions", "mMoveUp"));
        auto* pages = main->findChild<QTabWidget*>(QStringLiteral("Pages"));
        QCOMPARE(pages->tabText(0), lng(home, "english", "Misc", "Artikelverw"));
        QCOMPARE(toQ(app.state().Texts.StatusTexts[status::kItems]), lng(home, "english", "Status", "6"));
        // Labels keep their colon.
        QVERIFY(main->findChild<QLabel*>(QStringLiteral("NameLabel"))->text().endsWith(QLatin1Char(':')));
        main->close();
    }

    void controlsWithoutWordsExplainThemselves()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, kGermany);
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        GroupPanel* groups = main->catalogPage()->groupPanel();
        // Where the control lives, its name, its key in the language files.
        const struct {
            QWidget* window;
            const char* name;
            const char* key;
        } tips[] = {
            {app.aboutWindow(), "aboutOk", "aboutOk"},
            {app.aboutWindow(), "aboutCancel", "aboutCancel"},
            {groups, "OK", "surcharge"},
            {main, "guilang", "guilang"},
            {app.settingsDialog(), "AddCountry", "addcountry"},
            {main, "AuctionButton", "auction"},
            {app.shopProfileDialog(), "qd_save", "levelSave"},
            {app.shopProfileDialog(), "qd_delete", "levelDelete"},
            {app.shopProfileDialog(), "pd_save", "levelSave"},
            {app.shopProfileDialog(), "pd_delete", "levelDelete"},
        };
        for (const char* language : {"deutsch", "english"}) {
            main->Translate(language);
            for (const auto& tip : tips) {
                const QString expected = lng(home, language, "Tips", tip.key);
                QVERIFY2(expected != QStringLiteral("?"), tip.key);
                QCOMPARE(child<QWidget>(tip.window, tip.name)->toolTip(), expected);
            }
            // The field under the group name says what it takes.
            QCOMPARE(groups->subGroupEdit()->placeholderText(), lng(home, language, "Tips", "subgroup"));
            QCOMPARE(groups->mainGroupEdit()->placeholderText(), lng(home, language, "Tips", "maingroup"));
        }
        main->close();
    }

    void merchantBuildsSavesAndRecoversACatalog()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, "[Account]\r\nCountry=Germany\r\n[Connection]\r\nconnection=1\r\n");
        const std::string temp = home + "temp/";
        {
            ScriptedPrompter prompter;
            Application app(home, &prompter);
            app.start();
            MainWindow* main = app.mainWindow();
            GroupPanel* groups = main->catalogPage()->groupPanel();
            ItemPanel* items = main->catalogPage()->itemPanel();
            auto enter = [](QLineEdit* field, const QString& text) {
                field->clear(); // choosing a group fills the field with its name
                QTest::keyClicks(field, text);
                QTest::keyClick(field, Qt::Key_Return);
            };
            auto choose = [groups](const QString& path) {
                const QStringList parts = path.split(QLatin1Char('|'));
                auto found = groups->tree()->findItems(parts.last(), Qt::MatchExactly | Qt::MatchRecursive);
                QVERIFY(!found.isEmpty());
                groups->tree()->setCurrentItem(found.first());
            };

            enter(groups->mainGroupEdit(), QStringLiteral("Food"));
            choose(QStringLiteral("Food"));
            QVERIFY(groups->subGroupEdit()->isEnabled());
            enter(groups->subGroupEdit(), QStringLiteral("Bread"));
            enter(groups->subGroupEdit(), QStringLiteral("Cheese"));
            enter(groups->mainGroupEdit(), QStringLiteral("Drinks"));
            enter(groups->mainGroupEdit(), QString());              // an empty name adds nothing
            enter(groups->mainGroupEdit(), QStringLiteral("Food")); // nor does a name that is taken
            QCOMPARE(ReadFile(temp + "groups.ini"),
                     std::string("[deutsch]\r\n0=Food|Bread\r\n1=Food|Cheese\r\n2=Drinks\r\n"));
            QVERIFY(main->actions().mSpeichern->isEnabled());

            choose(QStringLiteral("Food|Bread"));
            QVERIFY(items->isActive());
            QCOMPARE(items->title(), QStringLiteral("Bread"));
            auto* name = items->findChild<QLineEdit*>(QStringLiteral("Bezeichnung"));
            auto* orderNo = items->findChild<QLineEdit*>(QStringLiteral("BestNr"));
            auto* price = items->findChild<QLineEdit*>(QStringLiteral("Preis"));
            auto addItem = [&](const QString& n, const QString& o, const QString& p) {
                QTest::keyClicks(name, n);
                QTest::keyClicks(orderNo, o);
                QTest::keyClicks(price, p);
                QTest::keyClick(price, Qt::Key_Return);
            };
            addItem(QStringLiteral("Rye"), QStringLiteral("B1"), QStringLiteral("3,50"));
            addItem(QStringLiteral("Spelt"), QStringLiteral("B2"), QStringLiteral("4"));
            addItem(QStringLiteral("Copy"), QStringLiteral("b1"), QStringLiteral("1")); // taken: refused
            QCOMPARE(prompter.told.size(), 1);
            QVERIFY(prompter.told.first().contains(QStringLiteral("\"b1\"")));
            QCOMPARE(items->grid()->topLevelItemCount(), 2);
            QCOMPARE(items->grid()->topLevelItem(1)->text(4), QStringLiteral("4,00 \u20ac"));
            QCOMPARE(main->statusText(1), QStringLiteral("2 ") + lng(home, "deutsch", "Status", "6"));

            // Hide B1, then rename Cheese and delete Drinks.
            items->grid()->topLevelItem(0)->setCheckState(1, Qt::Unchecked);
            choose(QStringLiteral("Food|Cheese"));
            auto* cheese = groups->tree()->currentItem();
            cheese->setText(0, QStringLiteral("Dairy"));
            QTRY_VERIFY(
                !groups->tree()->findItems(QStringLiteral("Dairy"), Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
            choose(QStringLiteral("Drinks"));
            QTest::keyClick(groups->tree(), Qt::Key_Delete);
            QVERIFY(groups->tree()->findItems(QStringLiteral("Drinks"), Qt::MatchExactly).isEmpty());

            QCOMPARE(ReadFile(temp + "groups.ini"), std::string("[deutsch]\r\n0=Food|Bread\r\n1=Food|Dairy\r\n"));
            QCOMPARE(ReadFile(temp + "shop.tmp"),
                     std::string(
                         "[0]\r\nVersand=0.000\r\nB1=Rye|3.50|||0|\r\nB2=Spelt|4.00||||\r\n[1]\r\nVersand=0.000\r\n"));

            main->project().SaveAs(home + "Projekte/Alpha.shp");
            QCOMPARE(main->windowTitle(), QStringLiteral("[Alpha.shp] - Quillane"));
            QVERIFY(!main->actions().mSpeichern->isEnabled());
            QCOMPARE(ReadFile(home + "Projekte/Alpha.shp"), ReadFile(temp + "shop.tmp"));
            QCOMPARE(ReadFile(home + "Projekte/Alpha/daten/groups.ini"), ReadFile(temp + "groups.ini"));
            // The program is killed here: no close, so the working copy stays.
        }
        {
            ScriptedPrompter prompter;
            prompter.answers << Prompter::Answer::Yes;
            Application app(home, &prompter);
            app.start();
            MainWindow* main = app.mainWindow();
            QCOMPARE(prompter.asked, QStringList{QStringLiteral("Recover?")});
            QCOMPARE(main->windowTitle(), QStringLiteral("[Alpha.shp] - Quillane"));
            QTreeWidget* tree = main->catalogPage()->groupPanel()->tree();
            QCOMPARE(tree->topLevelItemCount(), 1);
            QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("Food"));
            QCOMPARE(tree->topLevelItem(0)->childCount(), 2);
            QVERIFY(main->close());
        }
        {
            ScriptedPrompter prompter;
            Application app(home, &prompter);
            app.start();
            MainWindow* main = app.mainWindow();
            QVERIFY(prompter.asked.isEmpty()); // closed normally: nothing to recover
            QVERIFY(main->openProjectFile(toQ(home + "Projekte/Alpha.shp")));
            QCOMPARE(main->statusText(1), QStringLiteral("2 ") + lng(home, "deutsch", "Status", "6"));
            GroupPanel* groups = main->catalogPage()->groupPanel();
            groups->tree()->setCurrentItem(groups->tree()->topLevelItem(0)->child(0));
            ItemPanel* items = main->catalogPage()->itemPanel();
            QCOMPARE(items->grid()->topLevelItemCount(), 2);
            QCOMPARE(items->grid()->topLevelItem(0)->checkState(1), Qt::Unchecked);
            QVERIFY(main->close());
        }
    }

    void catalogLanguageSwitchesTranslationMode()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, "[Account]\r\nCountry=Germany\r\n[Connection]\r\nconnection=1\r\n");
        WriteTextFile(home + "countries.dat",
                      ReadFile(home + "countries.dat") + "\r\n[Extra]\r\nActive=1\r\nLanguageDefault=english\r\n");
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        GroupPanel* groups = main->catalogPage()->groupPanel();
        QTest::keyClicks(groups->mainGroupEdit(), QStringLiteral("Brot"));
        QTest::keyClick(groups->mainGroupEdit(), Qt::Key_Return);

        main->catalogLanguage()->setCurrentText(QStringLiteral("english"));
        QVERIFY(app.state().TranslationMode);
        QVERIFY(!groups->shippingBox()->isVisible());
        QCOMPARE(ReadFile(home + "temp/groups.ini"), std::string("[deutsch]\r\n0=Brot\r\n[english]\r\n0=Brot\r\n"));
        auto* node = groups->tree()->topLevelItem(0);
        node->setText(0, QStringLiteral("Bread")); // translating renames in this language only
        QTRY_COMPARE(ReadFile(home + "temp/groups.ini"),
                     std::string("[deutsch]\r\n0=Brot\r\n[english]\r\n0=Bread\r\n"));
        QTest::keyClick(groups->tree(), Qt::Key_Delete); // refused while translating
        QVERIFY(FileExists(home + "temp/groups.ini"));
        QCOMPARE(groups->tree()->topLevelItemCount(), 1);

        main->catalogLanguage()->setCurrentText(QStringLiteral("deutsch"));
        QVERIFY(!app.state().TranslationMode);
        QVERIFY(groups->shippingBox()->isVisible());
        QCOMPARE(groups->tree()->topLevelItem(0)->text(0), QStringLiteral("Brot"));
        prompter.answers << Prompter::Answer::No; // do not save
        QVERIFY(main->close());
        QCOMPARE(prompter.asked.last(), QStringLiteral("Best\u00e4tigung!"));
    }

    void translationModeShowsABannerThatLeadsBackHome()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, kGermany);
        WriteTextFile(home + "countries.dat",
                      ReadFile(home + "countries.dat") + "\r\n[Extra]\r\nActive=1\r\nLanguageDefault=english\r\n");
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        auto* banner = child<QWidget>(main, "TranslationBanner");
        auto* back = child<QPushButton>(main, "TranslationBack");
        QVERIFY(!banner->isVisible());

        main->setInterfaceLanguage(QStringLiteral("english"));
        QVERIFY(app.state().TranslationMode);
        QTRY_VERIFY(banner->isVisible());
        const QString text = child<QLabel>(main, "TranslationBannerText")->text();
        QVERIFY2(text.contains(QStringLiteral("english")), qPrintable(text));
        QVERIFY2(back->text().contains(QStringLiteral("deutsch")), qPrintable(back->text()));
        // The banner speaks the interface language, from the language file.
        QVERIFY2(!text.contains(QStringLiteral("Sie bearbeiten")), qPrintable(text));

        QTest::mouseClick(back, Qt::LeftButton);
        QCOMPARE(main->catalogLanguage()->currentText(), QStringLiteral("deutsch"));
        QVERIFY(!app.state().TranslationMode);
        QTRY_VERIFY(!banner->isVisible());
        QCOMPARE(child<QPushButton>(main, "Hinzufuegen")->text(), lng(home, "deutsch", "Buttons", "Hinzufuegen"));

        // In german the banner names both languages in german words.
        main->catalogLanguage()->setCurrentText(QStringLiteral("english"));
        QTRY_VERIFY(banner->isVisible());
        QCOMPARE(child<QLabel>(main, "TranslationBannerText")->text() + QLatin1Char(' ') + back->text(),
                 QStringLiteral("Übersetzung: Sie bearbeiten Gruppennamen und Beschreibungen auf english \u2014 "
                                "zurück zu deutsch"));
        main->close();
    }

    void replacingTheOrderNumberKeepsTheDescriptionsOfEveryLanguage()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, kGermany);
        WriteTextFile(home + "countries.dat",
                      ReadFile(home + "countries.dat") + "\r\n[Extra]\r\nActive=1\r\nLanguageDefault=english\r\n");
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        ItemPanel* items = main->catalogPage()->itemPanel();
        chooseNewGroup(main, QStringLiteral("Brot"));
        QTest::keyClicks(field(items, "Bezeichnung"), QStringLiteral("Roggen"));
        QTest::keyClicks(field(items, "BestNr"), QStringLiteral("R1"));
        enter(field(items, "Preis"), QStringLiteral("3"));
        auto* memo = items->findChild<QPlainTextEdit*>(QLatin1String(names::kDescriptionMemo));
        QTest::keyClicks(memo, QStringLiteral("Kruste"));
        const std::string data = home + "temp/daten/";
        CreateFolder(data + "english");
        WriteTextFile(data + "english/R1.txt", "Hearty\r\n");

        // The chosen item gets a new order number.
        QTest::keyClicks(field(items, "Bezeichnung"), QStringLiteral("Roggen"));
        QTest::keyClicks(field(items, "BestNr"), QStringLiteral("R2"));
        QTest::keyClicks(field(items, "Preis"), QStringLiteral("3"));
        items->findChild<QPushButton*>(QStringLiteral("Ersetzen"))->click();

        QCOMPARE(items->grid()->topLevelItem(0)->text(3), QStringLiteral("R2"));
        QCOMPARE(contentOf(data + "deutsch/R2.txt"), std::string("Kruste\r\n"));
        QCOMPARE(contentOf(data + "english/R2.txt"), std::string("Hearty\r\n"));
        QVERIFY(!FileExists(data + "deutsch/R1.txt"));
        QVERIFY(!FileExists(data + "english/R1.txt"));
        QCOMPARE(memo->toPlainText(), QStringLiteral("Kruste"));
        QVERIFY(prompter.told.isEmpty());
        prompter.answers << Prompter::Answer::No;
        QVERIFY(main->close());
    }

    void whatTheCatalogCannotHoldIsRefusedWhereItIsTyped()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, kGermany);
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        ItemPanel* items = main->catalogPage()->itemPanel();
        chooseNewGroup(main, QStringLiteral("Brot"));
        QTest::keyClicks(field(items, "Bezeichnung"), QStringLiteral("Roggen"));
        QTest::keyClicks(field(items, "BestNr"), QStringLiteral("R1"));
        enter(field(items, "Preis"), QStringLiteral("3"));
        const std::string stored = ReadFile(home + "temp/shop.tmp");

        struct Case {
            const char* orderNo;
            const char* price;
            const char* button;
            const char* named; // what the message must name
        } cases[] = {
            {"A=1", "2", "Hinzufuegen", "\"=\""},
            {"[X]", "2", "Einfuegen", "\"[\""},
            {"[X]", "2", "Ersetzen", "\"[\""},
            {"R9", "-5", "Hinzufuegen", "price \"-5\""},
            {"R9", "1e308", "Ersetzen", "price \"1e308\""},
            {"R9", "1,5';", "Hinzufuegen", "price \"1,5';\""}, // named as typed
            {"R9", "abc", "Einfuegen", "price \"abc\""},
        };
        for (const auto& k : cases) {
            prompter.told.clear();
            for (const char* name : {"Bezeichnung", "BestNr", "Preis"}) {
                field(items, name)->clear();
            }
            QTest::keyClicks(field(items, "Bezeichnung"), QStringLiteral("Dinkel"));
            QTest::keyClicks(field(items, "BestNr"), QString::fromUtf8(k.orderNo));
            QTest::keyClicks(field(items, "Preis"), QString::fromUtf8(k.price));
            items->findChild<QPushButton*>(QString::fromUtf8(k.button))->click();
            QCOMPARE(prompter.told.size(), 1);
            QVERIFY2(prompter.told.first().contains(QString::fromUtf8(k.named)), qPrintable(prompter.told.first()));
            // Nothing is stored, and nothing typed is lost.
            QCOMPARE(ReadFile(home + "temp/shop.tmp"), stored);
            QCOMPARE(items->grid()->topLevelItemCount(), 1);
            QCOMPARE(field(items, "BestNr")->text(), QString::fromUtf8(k.orderNo));
        }

        // The group's shipping surcharge: refused likewise; empty is no surcharge.
        auto* surcharge =
            main->catalogPage()->groupPanel()->findChild<QLineEdit*>(QLatin1String(names::kSurchargeEdit));
        for (const char* typed : {"-5", "abc"}) {
            prompter.told.clear();
            enter(surcharge, QString::fromUtf8(typed));
            QCOMPARE(prompter.told.size(), 1);
            QVERIFY2(prompter.told.first().contains(QStringLiteral("surcharge \"") + QString::fromUtf8(typed)),
                     qPrintable(prompter.told.first()));
            QCOMPARE(ReadFile(home + "temp/shop.tmp"), stored);
        }
        prompter.told.clear();
        enter(surcharge, QStringLiteral("4,5"));
        QVERIFY(ReadFile(home + "temp/shop.tmp").find("Versand=4.500") != std::string::npos);
        enter(surcharge, QString());
        QVERIFY(ReadFile(home + "temp/shop.tmp").find("Versand=0.000") != std::string::npos);
        QVERIFY(prompter.told.isEmpty());
        prompter.answers << Prompter::Answer::No;
        QVERIFY(main->close());
    }

    void skippingTheSetupSaysWhatIsMissing()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, nullptr);
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        QTest::mouseClick(child<QLabel>(app.aboutWindow(), "aboutCancel"), Qt::LeftButton);
        QTRY_VERIFY(!app.aboutWindow()->isVisible());
        QCOMPARE(
            prompter.told,
            QStringList{lng(home, "deutsch", "Messages", "SetupSkipped").replace(QLatin1Char('|'), QLatin1Char('\n'))});
        QVERIFY(!app.settingsDialog()->isVisible());
        app.mainWindow()->close();
    }

    void pricesAreTypedAndShownInTheInterfaceLanguage()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, kGermany);
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        ItemPanel* items = main->catalogPage()->itemPanel();
        chooseNewGroup(main, QStringLiteral("Brot"));
        const struct {
            const char* language;
            const char* typed;
            const char* stored; // in shop.tmp
            const char* shown;
        } cases[] = {
            {"deutsch", "1.234,50", "1234.50", "1.234,50 \u20ac"},
            {"deutsch", "9,8", "9.80", "9,80 \u20ac"},
            {"deutsch", "9.80", "9.80", "9,80 \u20ac"}, // a point before two digits is no thousands sign
            {"deutsch", "2.500", "2500.00", "2.500,00 \u20ac"},
            {"english", "1,234.50", "1234.50", "1,234.50 \u20ac"},
            {"english", "9,80", "9.80", "9.80 \u20ac"},
        };
        int n = 0;
        for (const auto& c : cases) {
            main->Translate(c.language);
            const QString orderNo = QStringLiteral("P%1").arg(++n);
            QTest::keyClicks(field(items, "Bezeichnung"), QStringLiteral("Brot"));
            QTest::keyClicks(field(items, "BestNr"), orderNo);
            QTest::keyClicks(field(items, "Preis"), QString::fromUtf8(c.typed));
            child<QPushButton>(items, "Hinzufuegen")->click();
            QVERIFY2(prompter.told.isEmpty(), qPrintable(prompter.told.join(QLatin1Char('\n'))));
            QCOMPARE(items->grid()->topLevelItemCount(), n);
            QCOMPARE(items->grid()->topLevelItem(n - 1)->text(4), QString::fromUtf8(c.shown));
            QVERIFY2(contentOf(home + "temp/shop.tmp").find(fromQ(orderNo) + "=Brot|" + c.stored + "|") !=
                         std::string::npos,
                     c.typed);
        }
        // The list follows the language: the first price in German again.
        main->Translate("deutsch");
        QCOMPARE(items->grid()->topLevelItem(0)->text(4), QStringLiteral("1.234,50 \u20ac"));
        // Signs in the wrong places are refused, not guessed.
        QTest::keyClicks(field(items, "Bezeichnung"), QStringLiteral("Brot"));
        QTest::keyClicks(field(items, "BestNr"), QStringLiteral("X"));
        QTest::keyClicks(field(items, "Preis"), QStringLiteral("1,234.50"));
        child<QPushButton>(items, "Hinzufuegen")->click();
        QCOMPARE(prompter.told.size(), 1);
        QVERIFY2(prompter.told.first().contains(QStringLiteral("1,234.50")), qPrintable(prompter.told.first()));
        QCOMPARE(items->grid()->topLevelItemCount(), n);
        prompter.answers << Prompter::Answer::No;
        main->close();
    }

    void addingWithEmptyFieldsSaysWhichAreMissing()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, kGermany);
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        ItemPanel* items = main->catalogPage()->itemPanel();
        chooseNewGroup(main, QStringLiteral("Brot"));
        QTest::keyClicks(field(items, "BestNr"), QStringLiteral("B1"));
        child<QPushButton>(items, "Hinzufuegen")->click();
        QCOMPARE(prompter.told.size(), 1);
        const QString& said = prompter.told.first();
        // The captions of the empty fields, and not the one that was filled.
        QVERIFY2(said.contains(lng(home, "deutsch", "Labels", "Bezeichnung")), qPrintable(said));
        QVERIFY2(said.contains(child<QLabel>(items, "PriceCaption")->text().remove(QLatin1Char(':'))),
                 qPrintable(said));
        QVERIFY2(!said.contains(child<QLabel>(items, "OrderNoLabel")->text().remove(QLatin1Char(':'))),
                 qPrintable(said));
        QCOMPARE(items->grid()->topLevelItemCount(), 0);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(field(items, "Bezeichnung")));
        prompter.answers << Prompter::Answer::No; // do not save
        main->close();
    }

    void deletingAGroupThatHoldsItemsAsksFirst()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, kGermany);
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        GroupPanel* groups = main->catalogPage()->groupPanel();
        ItemPanel* items = main->catalogPage()->itemPanel();
        chooseNewGroup(main, QStringLiteral("Leer"));
        chooseNewGroup(main, QStringLiteral("Brot"));
        for (const char* orderNo : {"B1", "B2"}) {
            QTest::keyClicks(field(items, "Bezeichnung"), QStringLiteral("Brot"));
            QTest::keyClicks(field(items, "BestNr"), QString::fromUtf8(orderNo));
            QTest::keyClicks(field(items, "Preis"), QStringLiteral("2"));
            child<QPushButton>(items, "Hinzufuegen")->click();
        }
        QCOMPARE(items->grid()->topLevelItemCount(), 2);

        prompter.answers << Prompter::Answer::No;
        QTest::keyClick(groups->tree(), Qt::Key_Delete);
        QCOMPARE(prompter.questions.size(), 1);
        QVERIFY2(prompter.questions.first().contains(QStringLiteral("Brot")) &&
                     prompter.questions.first().contains(QStringLiteral("2")),
                 qPrintable(prompter.questions.first()));
        QCOMPARE(groups->tree()->topLevelItemCount(), 2);
        QVERIFY(contentOf(home + "temp/shop.tmp").find("B2=Brot") != std::string::npos);

        prompter.answers << Prompter::Answer::Yes;
        QTest::keyClick(groups->tree(), Qt::Key_Delete);
        QCOMPARE(prompter.questions.size(), 2);
        QCOMPARE(groups->tree()->topLevelItemCount(), 1);
        QVERIFY(contentOf(home + "temp/shop.tmp").find("B2=Brot") == std::string::npos);

        // An empty group goes without a question (an unexpected one fails the test).
        groups->tree()->setCurrentItem(groups->tree()->topLevelItem(0));
        QTest::keyClick(groups->tree(), Qt::Key_Delete);
        QCOMPARE(groups->tree()->topLevelItemCount(), 0);
        QCOMPARE(prompter.questions.size(), 2);
        prompter.answers << Prompter::Answer::No;
        main->close();
    }

    void titleMarksUnsavedChangesAndRecentProjectsFillAtOnce()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, kGermany);
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        QCOMPARE(main->windowTitle(), QStringLiteral("[unbenannt] - Quillane"));
        chooseNewGroup(main, QStringLiteral("Brot"));
        QCOMPARE(main->windowTitle(), QStringLiteral("*[unbenannt] - Quillane"));
        main->Translate("english");
        QCOMPARE(main->windowTitle(), QStringLiteral("*[untitled] - Quillane"));
        main->Translate("deutsch");
        main->project().SaveAs(home + "Projekte/Alpha.shp");
        QCOMPARE(main->windowTitle(), QStringLiteral("[Alpha.shp] - Quillane"));
        chooseNewGroup(main, QStringLiteral("Wein"));
        QCOMPARE(main->windowTitle(), QStringLiteral("*[Alpha.shp] - Quillane"));
        QVERIFY(main->Speichern1Click());
        QCOMPARE(main->windowTitle(), QStringLiteral("[Alpha.shp] - Quillane"));

        // The saved project is in the menu before the menu was ever opened.
        auto* recent = child<QMenu>(main, "RecentProjectsMenu");
        QVERIFY(recent->menuAction()->isEnabled());
        QStringList recentNames;
        for (const QAction* a : recent->actions()) {
            recentNames << a->text();
        }
        QCOMPARE(recentNames, QStringList{QStringLiteral("Alpha")});
        main->Neu1Click(main->actions().mNeu);
        QVERIFY(main->openProjectFile(toQ(home + "Projekte/Alpha.shp")));
        QCOMPARE(recent->actions().size(), 1);
        QVERIFY(main->close());
    }

    void menusKeepAnAltKeyOfTheirOwnAndTheWindowFitsASmallScreen()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, kGermany);
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        for (const char* language : {"deutsch", "english"}) {
            main->Translate(language);
            QSet<QChar> keys; // the Alt keys the actions hold
            for (const QAction* a : main->findChildren<QAction*>()) {
                for (const QKeySequence& key : a->shortcuts()) {
                    if (!key.isEmpty() && key[0].keyboardModifiers() == Qt::AltModifier) {
                        keys.insert(QChar(key[0].key()));
                    }
                }
            }
            for (const QAction* menu : main->menuBar()->actions()) {
                const QString text = menu->text();
                const qsizetype at = text.indexOf(QLatin1Char('&'));
                QVERIFY2(at >= 0 && at + 1 < text.size(), qPrintable(text));
                const QChar key = text[at + 1].toUpper();
                QVERIFY2(!keys.contains(key),
                         qPrintable(QStringLiteral("%1 in %2").arg(text, QLatin1String(language))));
                keys.insert(key);
            }
        }
        // A 1366 x 768 screen, less a task bar and the title bar, holds the window.
        const QSize least = main->minimumSizeHint().expandedTo(main->minimumSize());
        QVERIFY2(least.width() <= 1366 && least.height() <= 768 - 40 - 30,
                 qPrintable(QStringLiteral("%1x%2").arg(least.width()).arg(least.height())));
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY2(screen.contains(main->frameGeometry()),
                 qPrintable(QStringLiteral("%1x%2").arg(main->width()).arg(main->height())));
        main->close();
    }

    void shopProfileDialogOpenDuringSaveAsSavesIntoTheNewProject()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, kGermany);
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        chooseNewGroup(main, QStringLiteral("Brot"));
        main->actions().mEigenschaften->trigger();
        ShopProfileDialog* dialog = app.shopProfileDialog();
        QTRY_VERIFY(dialog->isVisible());
        auto* freeDelivery = dialog->findChild<QLineEdit*>(QStringLiteral("freedelivery"));
        freeDelivery->setText(QStringLiteral("150"));

        main->project().SaveAs(home + "Projekte/Beta.shp");
        QVERIFY(dialog->isVisible()); // what was typed stays
        dialog->findChild<QPushButton*>(QStringLiteral("OkButton"))->click();
        QVERIFY(!dialog->isVisible());
        QVERIFY(!IniFile(home + "Projekte/Beta/daten/shopprofil.ini").ReadString("Invoice", "Freihaus", "").empty());
        QVERIFY(!FileExists(home + "temp/daten/shopprofil.ini"));
        QVERIFY(main->close());
    }

    void unsavedCatalogOfAKilledRunIsOfferedAtStart()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, kGermany);
        CreateFolder(home + "temp/daten");
        WriteTextFile(home + "temp/groups.ini", "[deutsch]\r\n0=Brot\r\n");
        WriteTextFile(home + "temp/shop.tmp", "[0]\r\nVersand=0.000\r\nR1=Roggen|3.50||||\r\nD1=Dinkel|4.00||||\r\n");
        ScriptedPrompter prompter;
        prompter.answers << Prompter::Answer::Yes;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();

        QCOMPARE(prompter.asked, QStringList{QStringLiteral("Recover?")});
        QCOMPARE(main->windowTitle(), QStringLiteral("*[unbenannt] - Quillane"));
        QTreeWidget* tree = main->catalogPage()->groupPanel()->tree();
        QCOMPARE(tree->topLevelItemCount(), 1);
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("Brot"));
        QCOMPARE(main->statusText(1), QStringLiteral("2 ") + lng(home, "deutsch", "Status", "6"));
        QVERIFY(main->actions().mSpeichern->isEnabled()); // saved nowhere yet

        // A new group joins the restored catalog and the count stays right.
        enter(main->catalogPage()->groupPanel()->mainGroupEdit(), QStringLiteral("Kuchen"));
        QCOMPARE(tree->topLevelItemCount(), 2);
        QCOMPARE(main->statusText(1), QStringLiteral("2 ") + lng(home, "deutsch", "Status", "6"));
        prompter.answers << Prompter::Answer::No;
        QVERIFY(main->close());
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
