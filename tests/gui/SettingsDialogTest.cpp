#include "gui/settings/SettingsDialog.h"
#include "core/publish/Upload.h"
#include "gui/app/AboutWindow.h"
#include "gui/app/Application.h"
#include "gui/app/MainWindow.h"
#include "gui/catalog/CatalogPage.h"
#include "gui/catalog/ItemPanel.h"

#include "GuiTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>

using namespace quillane;
using namespace quillane::gui;
using namespace quillane::gui::test;

namespace {

// A program folder set up in Germany that serves one more country.
std::string germanHomeServing(QTemporaryDir& dir, const char* country)
{
    const std::string home = makeHome(dir, "[Account]\r\nCountry=Germany\r\n[Connection]\r\nconnection=1\r\n");
    IniFile table(home + "countries.dat");
    table.WriteBool("Germany", "Active", true);
    table.WriteBool(country, "Active", true);
    table.UpdateFile();
    return home;
}

// The row of the served list that shows the country of that table name.
int rowOf(QListWidget* served, const char* name)
{
    for (int i = 0; i < served->count(); ++i) {
        if (served->item(i)->data(Qt::UserRole).toString() == QLatin1String(name)) {
            return i;
        }
    }
    qFatal("%s is not served", name);
}

} // namespace

class SettingsDialogTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("LC_ALL", "de_DE.UTF-8"); }

    void firstTimeSetupEndsTheSetupState()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, nullptr);
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        QCOMPARE(app.state().StartupStatus, std::string("setup"));
        QVERIFY(!main->actions().mProfil->isEnabled());

        QTest::mouseClick(app.aboutWindow()->findChild<QLabel*>(QStringLiteral("aboutOk")), Qt::LeftButton);
        SettingsDialog* dialog = app.settingsDialog();
        QTRY_VERIFY(dialog->isVisible());
        QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("Headline"))->text(),
                 lng(home, "deutsch", "Notices", "FirstSetup"));
        QVERIFY(!dialog->findChild<QGroupBox*>(QStringLiteral("FtpGroup"))->isVisible());
        QVERIFY(dialog->findChild<QRadioButton*>(QStringLiteral("Direct"))->isChecked());
        auto* served = dialog->findChild<QListWidget*>(QStringLiteral("ServedCountries"));
        QCOMPARE(served->count(), 0);
        // Without a country the setup says that OK cannot end it, and OK tells so too.
        auto* note = child<QLabel>(dialog, "SetupNote");
        QVERIFY(note->isVisible());
        const QString noCountry = lng(home, "deutsch", "Misc", "setup_nocountry");
        QCOMPARE(note->text(), noCountry);
        child<QPushButton>(dialog, "OkButton")->click();
        QCOMPARE(prompter.told, QStringList{noCountry});
        QCOMPARE(app.state().StartupStatus, std::string("setup"));
        main->actions().mEinstellungen->trigger();
        QTRY_VERIFY(dialog->isVisible());

        // Serve Switzerland and Germany.
        auto* newCountry = dialog->findChild<QComboBox*>(QStringLiteral("NewCountry"));
        auto* add = dialog->findChild<QPushButton*>(QStringLiteral("AddCountry"));
        newCountry->setCurrentText(QStringLiteral("Switzerland"));
        add->click();
        newCountry->setCurrentText(QStringLiteral("Germany"));
        add->click();
        QCOMPARE(served->count(), 2);
        // Named in the interface language.
        QCOMPARE(served->item(0)->text(), QStringLiteral("Deutschland"));
        QCOMPARE(served->item(1)->text(), QStringLiteral("Schweiz"));
        QVERIFY(!served->item(0)->icon().isNull()); // its flag
        // The home country stands out, and the note says what OK makes of the shown one.
        QVERIFY(served->item(0)->font().bold());
        QVERIFY(!served->item(1)->font().bold());
        QCOMPARE(note->text(),
                 lng(home, "deutsch", "Misc", "setup_ok").replace(QLatin1Char('#'), QStringLiteral("Germany")));

        // Show Switzerland: its data; in the setup OK makes it the home country.
        served->setCurrentRow(1);
        QCOMPARE(dialog->displayedCountry(), QStringLiteral("Switzerland"));
        QCOMPARE(dialog->findChild<QLineEdit*>(QStringLiteral("Currency"))->text(), QStringLiteral("CHF"));
        QVERIFY(!dialog->findChild<QCheckBox*>(QStringLiteral("EU"))->isChecked());
        auto* vat = dialog->findChild<QLineEdit*>(QStringLiteral("VAT"));
        vat->setText(QStringLiteral("8.1"));
        dialog->findChild<QLineEdit*>(QStringLiteral("Firma"))->setText(QStringLiteral("Käserei Alpenblick"));
        dialog->findChild<QPushButton*>(QStringLiteral("OkButton"))->click();

        QVERIFY(!dialog->isVisible());
        QCOMPARE(app.state().StartupStatus, std::string());
        QVERIFY(main->actions().mProfil->isEnabled());
        QVERIFY(main->actions().mAccountmanager->isEnabled());
        QCOMPARE(app.state().User.Country.Name, std::string("Switzerland"));
        // Prices now show in francs.
        QCOMPARE(main->findChild<QLabel*>(QStringLiteral("PriceCurrency"))->text(), QStringLiteral("CHF"));
        const IniFile settings(home + "quillane.ini");
        QCOMPARE(settings.ReadString("Account", "Country", ""), std::string("Switzerland"));
        QCOMPARE(settings.ReadString("Connection", "connection", ""), std::string("1"));
        QCOMPARE(IniFile(home + "countries.dat").ReadString("Switzerland", "VAT", ""), std::string("8.1"));
        QCOMPARE(IniFile(home + "userprofil.ini").ReadString("Contact", "Firma", ""),
                 std::string("K\xE4serei Alpenblick"));

        // "Profil" opens the contact page under its own headline.
        main->actions().mProfil->trigger();
        QTRY_VERIFY(dialog->isVisible());
        QCOMPARE(dialog->findChild<QLineEdit*>(QStringLiteral("Firma"))->text(), QStringLiteral("Käserei Alpenblick"));
        dialog->findChild<QPushButton*>(QStringLiteral("CancelButton"))->click();
        QVERIFY(main->close());
    }

    void showingACountryKeepsTheLanguageAndTheHome()
    {
        QTemporaryDir dir;
        const std::string home = germanHomeServing(dir, "Ireland");
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        SettingsDialog* dialog = app.settingsDialog();
        auto* served = child<QListWidget>(dialog, "ServedCountries");
        auto* directions = child<QPlainTextEdit>(dialog, "Directions");
        const std::pair<const char*, int> ways[] = {{"Abbrechen", 0}, {"Esc", 1}, {"OK", 2}};
        for (const auto& [way, how] : ways) {
            main->actions().mEinstellungen->trigger();
            QTRY_VERIFY(dialog->isVisible());
            QCOMPARE(dialog->displayedCountry(), QStringLiteral("Germany"));
            directions->setPlainText(QStringLiteral("Weg A\nWeg B"));
            served->setCurrentRow(rowOf(served, "Ireland"));
            QCOMPARE(dialog->displayedCountry(), QStringLiteral("Ireland"));
            QCOMPARE(served->currentItem()->text(), QStringLiteral("Irland"));
            // Looking at a country switches neither the catalog nor the windows.
            QCOMPARE(app.state().Store.CatalogLanguage(), std::string("deutsch"));
            QVERIFY2(!app.state().TranslationMode, way);
            QCOMPARE(main->actions().mNeu->text(), lng(home, "deutsch", "Actions", "mNeu"));
            QCOMPARE(directions->toPlainText(), QStringLiteral("Weg A\nWeg B"));
            if (how == 0) {
                child<QPushButton>(dialog, "CancelButton")->click();
            } else if (how == 1) {
                QTest::keyClick(dialog, Qt::Key_Escape);
            } else {
                child<QPushButton>(dialog, "OkButton")->click();
            }
            QTRY_VERIFY2(!dialog->isVisible(), way);
            QCOMPARE(app.state().User.Country.Name, std::string("Germany"));
            QCOMPARE(IniFile(home + "quillane.ini").ReadString("Account", "Country", ""), std::string("Germany"));
            QCOMPARE(app.state().Store.CatalogLanguage(), std::string("deutsch"));
            QVERIFY2(!app.state().TranslationMode, way);
        }
        // OK stored the directions in the catalog language, not in the shown country's.
        QCOMPARE(ReadFile(home + "deutsch_Contact.txt"), std::string("Weg A\r\nWeg B\r\n"));
        QVERIFY(!FileExists(home + "english_Contact.txt"));
        QVERIFY(main->close());
    }

    void theHomeCountryChangesOnlyWhenAskedAndConfirmed()
    {
        QTemporaryDir dir;
        const std::string home = germanHomeServing(dir, "Switzerland");
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        SettingsDialog* dialog = app.settingsDialog();
        main->actions().mEinstellungen->trigger();
        QTRY_VERIFY(dialog->isVisible());
        auto* makeHome = child<QPushButton>(dialog, "MakeHome");
        auto* served = child<QListWidget>(dialog, "ServedCountries");
        QCOMPARE(makeHome->text(), lng(home, "deutsch", "Buttons", "MakeHome"));
        QVERIFY(!makeHome->isEnabled()); // Germany is home already
        // The fetch buttons speak German too.
        QCOMPARE(child<QPushButton>(dialog, "RateDownload")->text(), lng(home, "deutsch", "Buttons", "Abrufen"));
        QCOMPARE(child<QPushButton>(dialog, "LanguageDownload")->text(), lng(home, "deutsch", "Buttons", "Abrufen"));

        served->setCurrentRow(rowOf(served, "Switzerland"));
        QVERIFY(makeHome->isEnabled());
        prompter.answers << Prompter::Answer::No;
        makeHome->click();
        QCOMPARE(prompter.questions.size(), 1);
        // The question names the country and the currency prices switch to.
        QVERIFY2(prompter.questions.first().contains(QStringLiteral("Schweiz")) &&
                     prompter.questions.first().contains(QStringLiteral("CHF")),
                 qPrintable(prompter.questions.first()));
        QCOMPARE(app.state().User.Country.Name, std::string("Germany"));
        QCOMPARE(child<QLabel>(main, "PriceCurrency")->text(), QStringLiteral("\u20ac"));

        prompter.answers << Prompter::Answer::Yes;
        makeHome->click();
        QCOMPARE(app.state().User.Country.Name, std::string("Switzerland"));
        QCOMPARE(IniFile(home + "quillane.ini").ReadString("Account", "Country", ""), std::string("Switzerland"));
        QCOMPARE(child<QLabel>(main, "PriceCurrency")->text(), QStringLiteral("CHF"));
        QCOMPARE(dialog->displayedCountry(), QStringLiteral("Switzerland"));
        QVERIFY(served->item(rowOf(served, "Switzerland"))->font().bold());
        QVERIFY(!served->item(rowOf(served, "Germany"))->font().bold());
        QVERIFY(!makeHome->isEnabled());
        // Done at once: leaving without saving keeps it.
        child<QPushButton>(dialog, "CancelButton")->click();
        QCOMPARE(IniFile(home + "quillane.ini").ReadString("Account", "Country", ""), std::string("Switzerland"));
        QVERIFY(main->close());
    }

    void anUnreachableRateServiceIsSaid()
    {
        QTemporaryDir dir;
        const std::string home = germanHomeServing(dir, "Ireland");
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        main->actions().mEinstellungen->trigger();
        SettingsDialog* dialog = app.settingsDialog();
        QTRY_VERIFY(dialog->isVisible());
        auto* served = child<QListWidget>(dialog, "ServedCountries");
        served->setCurrentRow(rowOf(served, "Ireland"));

        // A rate service that does not answer: the merchant is told, the rate stays.
        {
            IniFile settings(home + "quillane.ini");
            settings.WriteString("Services", "RateService", "http://127.0.0.1:9/eurofxref-daily.xml");
            settings.UpdateFile();
        }
        auto* rate = dialog->findChild<QLineEdit*>(QStringLiteral("EuroRate"));
        rate->setText(QStringLiteral("1.5"));
        dialog->findChild<QCheckBox*>(QStringLiteral("EU"))->setChecked(false);
        dialog->findChild<QPushButton*>(QStringLiteral("RateDownload"))->click();
        // Told why: the service was not reached, and where it was looked for.
        QCOMPARE(prompter.told.size(), 1);
        QVERIFY2(prompter.told.first().startsWith(
                     lng(home, "deutsch", "Notices", "RateUnreachable").section(QLatin1Char('|'), 0, 0)),
                 qPrintable(prompter.told.first()));
        QVERIFY(prompter.told.first().contains(QStringLiteral("127.0.0.1:9")));
        QCOMPARE(rate->text(), QStringLiteral("1.5"));
        dialog->findChild<QCheckBox*>(QStringLiteral("EU"))->setChecked(true);
        child<QPushButton>(dialog, "CancelButton")->click();
        QVERIFY(main->close());
    }

    void dialogsOpenRoomyAndKeepTheirSize()
    {
        QTemporaryDir dir;
        const std::string home = germanHomeServing(dir, "Ireland");
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        SettingsDialog* dialog = app.settingsDialog();
        main->actions().mEinstellungen->trigger();
        QTRY_VERIFY(dialog->isVisible());
        // Everything shows: no scroll bar across the countries, the dialog not below what it needs.
        auto* served = child<QListWidget>(dialog, "ServedCountries");
        QTRY_VERIFY(!served->horizontalScrollBar()->isVisible());
        QVERIFY(dialog->width() >= dialog->minimumSizeHint().width());
        QTRY_VERIFY2(
            dialog->height() >= dialog->minimumSizeHint().height(),
            qPrintable(QStringLiteral("%1 < %2").arg(dialog->height()).arg(dialog->minimumSizeHint().height())));

        // The contact fields grow with the dialog.
        main->actions().mProfil->trigger();
        auto* company = child<QLineEdit>(dialog, "Firma");
        dialog->resize(dialog->minimumSizeHint());
        const int narrow = company->width();
        dialog->resize(dialog->width() + 200, dialog->height() + 20);
        QTRY_VERIFY2(company->width() > narrow + 60, qPrintable(QString::number(company->width())));

        // The size is kept in the program's settings file for the next time.
        const QSize chosen = dialog->size();
        child<QPushButton>(dialog, "CancelButton")->click();
        QCOMPARE(QString::fromStdString(IniFile(home + "quillane.ini").ReadString("Dialogs", "SettingsDialog", "")),
                 QStringLiteral("%1x%2").arg(chosen.width()).arg(chosen.height()));
        main->actions().mEinstellungen->trigger();
        QTRY_COMPARE(dialog->size(), chosen);
        child<QPushButton>(dialog, "CancelButton")->click();
        QVERIFY(main->close());
    }

    void typedCommasBecomePointsAndEnterMovesOn()
    {
        QTemporaryDir dir;
        const std::string home = germanHomeServing(dir, "Switzerland");
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        main->actions().mEinstellungen->trigger();
        SettingsDialog* dialog = app.settingsDialog();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        auto* served = dialog->findChild<QListWidget*>(QStringLiteral("ServedCountries"));
        served->setCurrentRow(rowOf(served, "Switzerland"));
        for (const char* name : {"EuroRate", "VAT"}) {
            auto* field = dialog->findChild<QLineEdit*>(QString::fromUtf8(name));
            field->clear();
            QTest::keyClicks(field, QStringLiteral("1,5"));
            QCOMPARE(field->text(), QStringLiteral("1.5"));
            field->setFocus();
            QTRY_COMPARE(QApplication::focusWidget(), field);
            QTest::keyClick(field, Qt::Key_Return);
            QVERIFY2(QApplication::focusWidget() != field, name);
            QVERIFY(dialog->isVisible());
        }
        dialog->findChild<QPushButton*>(QStringLiteral("CancelButton"))->click();
        QVERIFY(main->close());
    }

    void anExchangeRateThatIsNoNumberIsRefused()
    {
        QTemporaryDir dir;
        const std::string home = germanHomeServing(dir, "Switzerland");
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        main->actions().mEinstellungen->trigger();
        SettingsDialog* dialog = app.settingsDialog();
        QTRY_VERIFY(dialog->isVisible());
        auto* served = dialog->findChild<QListWidget*>(QStringLiteral("ServedCountries"));
        served->setCurrentRow(rowOf(served, "Switzerland"));
        QCOMPARE(dialog->displayedCountry(), QStringLiteral("Switzerland"));
        auto* rate = dialog->findChild<QLineEdit*>(QStringLiteral("EuroRate"));
        const std::string table = ReadFile(home + "countries.dat");

        struct Case {
            const char* typed;
            const char* button; // or empty: another country is chosen
        } cases[] = {{"0", "OkButton"}, {"abc", "ApplyButton"}, {"0", ""}};
        for (const auto& k : cases) {
            prompter.told.clear();
            rate->setText(QString::fromUtf8(k.typed));
            if (*k.button != 0) {
                dialog->findChild<QPushButton*>(QString::fromUtf8(k.button))->click();
            } else {
                served->setCurrentRow(rowOf(served, "Germany"));
            }
            QCOMPARE(prompter.told.size(), 1);
            QVERIFY2(prompter.told.first().contains(QStringLiteral("rate \"") + QString::fromUtf8(k.typed) +
                                                    QLatin1Char('"')),
                     qPrintable(prompter.told.first()));
            // Nothing is stored; the dialog stays on the country with the typed rate.
            QCOMPARE(ReadFile(home + "countries.dat"), table);
            QVERIFY(dialog->isVisible());
            QCOMPARE(dialog->displayedCountry(), QStringLiteral("Switzerland"));
            QCOMPARE(served->currentItem()->data(Qt::UserRole).toString(), QStringLiteral("Switzerland"));
            QCOMPARE(rate->text(), QString::fromUtf8(k.typed));
        }
        prompter.told.clear();
        rate->setText(QStringLiteral("0,95"));
        dialog->findChild<QPushButton*>(QStringLiteral("OkButton"))->click();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(IniFile(home + "countries.dat").ReadString("Switzerland", "EuroRate", ""), std::string("0.95"));
        QVERIFY(prompter.told.isEmpty());
        QVERIFY(main->close());
    }

    void ftpServerKeysAreStoredAndABadSchemeIsRefused()
    {
        QTemporaryDir dir;
        const std::string home = germanHomeServing(dir, "Switzerland");
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        main->actions().mEinstellungen->trigger();
        SettingsDialog* dialog = app.settingsDialog();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        auto* host = child<QLineEdit>(dialog, "FtpHost");
        auto* port = child<QLineEdit>(dialog, "FtpPort");
        auto* keyFile = child<QLineEdit>(dialog, "FtpKeyFile");
        auto* key = child<QLineEdit>(dialog, "FtpTrustedKey");
        auto* ok = child<QPushButton>(dialog, "OkButton");

        // Refused before anything is written, with the host to mend in focus.
        const std::string settings = ReadFile(home + "quillane.ini");
        for (const char* bad : {"http://shop.example", "ftp://shop example"}) {
            prompter.told.clear();
            host->setText(QString::fromUtf8(bad));
            auto* login = child<QLineEdit>(dialog, "FtpLogin");
            login->setFocus();
            QTRY_COMPARE(QApplication::focusWidget(), login);
            ok->click();
            QCOMPARE(prompter.told.size(), 1);
            QVERIFY2(prompter.told.first().contains(QString::fromUtf8(bad)), qPrintable(prompter.told.first()));
            QVERIFY(dialog->isVisible());
            QTRY_COMPARE(QApplication::focusWidget(), host);
            QCOMPARE(ReadFile(home + "quillane.ini"), settings);
        }

        prompter.told.clear();
        host->setText(QStringLiteral("sftp://shop.example"));
        port->setText(QStringLiteral("2222"));
        keyFile->setText(QStringLiteral("/home/anna/.ssh/id_ed25519"));
        QTest::keyClicks(key, QStringLiteral("SHA256:k3y"));
        ok->click();
        QVERIFY(prompter.told.isEmpty());
        QVERIFY(!dialog->isVisible());
        const FtpSettings stored = InitFTP(home);
        QCOMPARE(stored.KeyFile, std::string("/home/anna/.ssh/id_ed25519"));
        QCOMPARE(stored.TrustedKey, std::string("SHA256:k3y"));

        // Shown again; the key belongs to that server only and follows the
        // host typed; emptied, it is no longer accepted.
        main->actions().mEinstellungen->trigger();
        QTRY_VERIFY(dialog->isVisible());
        QCOMPARE(keyFile->text(), QStringLiteral("/home/anna/.ssh/id_ed25519"));
        QCOMPARE(key->text(), QStringLiteral("SHA256:k3y"));
        port->setText(QStringLiteral("22"));
        QCOMPARE(key->text(), QString());
        port->setText(QStringLiteral("2222"));
        QCOMPARE(key->text(), QStringLiteral("SHA256:k3y"));
        key->clear();
        ok->click();
        QCOMPARE(InitFTP(home).TrustedKey, std::string());
        QVERIFY(main->close());
    }

    void orderServiceIsStoredAndMustBeAnHttpAddress()
    {
        QTemporaryDir dir;
        const std::string home = germanHomeServing(dir, "Switzerland");
        {
            IniFile settings(home + "quillane.ini");
            settings.WriteString("Services", "OrderService", "https://bestellungen.example/");
            settings.UpdateFile();
        }
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        main->actions().mEinstellungen->trigger();
        SettingsDialog* dialog = app.settingsDialog();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        auto* service = child<QLineEdit>(dialog, "OrderService");
        auto* ok = child<QPushButton>(dialog, "OkButton");
        QCOMPARE(service->text(), QStringLiteral("https://bestellungen.example/"));
        QVERIFY(service->isVisible());
        bool labelled = false;
        for (const QLabel* l : dialog->findChildren<QLabel*>()) {
            labelled = labelled || (l->buddy() == service && l->text() == QStringLiteral("Bestellservice:"));
        }
        QVERIFY(labelled);

        // Refused before anything is written, with the address to mend in focus.
        const std::string settings = ReadFile(home + "quillane.ini");
        for (const char* bad : {"bestellungen.example", "ftp://bestellungen.example/", "https://", "http://a b/"}) {
            prompter.told.clear();
            service->setText(QString::fromUtf8(bad));
            auto* login = child<QLineEdit>(dialog, "FtpLogin");
            login->setFocus();
            QTRY_COMPARE(QApplication::focusWidget(), login);
            ok->click();
            QCOMPARE(prompter.told.size(), 1);
            QVERIFY2(prompter.told.first().contains(QString::fromUtf8(bad)), qPrintable(prompter.told.first()));
            QVERIFY(dialog->isVisible());
            QTRY_COMPARE(QApplication::focusWidget(), service);
            QCOMPARE(ReadFile(home + "quillane.ini"), settings);
        }

        prompter.told.clear();
        service->setText(QStringLiteral("  HTTP://127.0.0.1:8080/bestellung/  "));
        ok->click();
        QVERIFY2(prompter.told.isEmpty(), qPrintable(prompter.told.join(QLatin1Char('\n'))));
        QVERIFY(!dialog->isVisible());
        QCOMPARE(IniFile(home + "quillane.ini").ReadString("Services", "OrderService", ""),
                 std::string("HTTP://127.0.0.1:8080/bestellung/"));

        // Emptied, the shop and the fetch use the default address again.
        main->actions().mEinstellungen->trigger();
        QTRY_VERIFY(dialog->isVisible());
        QCOMPARE(service->text(), QStringLiteral("HTTP://127.0.0.1:8080/bestellung/"));
        service->clear();
        ok->click();
        QVERIFY(prompter.told.isEmpty());
        QVERIFY(!IniFile(home + "quillane.ini").ValueExists("Services", "OrderService"));
        QVERIFY(main->close());
    }
};

QTEST_MAIN(SettingsDialogTest)
#include "SettingsDialogTest.moc"
