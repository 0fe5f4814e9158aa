#include "gui/settings/ShopProfileDialog.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "gui/app/AppState.h"
#include "gui/common/HelpMark.h"

#include "GuiTestSupport.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace quillane;
using namespace quillane::gui;
using namespace quillane::gui::test;

namespace {

const char* const kProfile = "[Creation]\r\nLaender=Germany\r\n"
                             "[Invoice]\r\nFreihaus=100\r\n"
                             "[Mengenrabatt]\r\nab 10=10/5\r\nab 50=50/10\r\nab 100=100/15\r\n";

// A German program whose data folder lies below home and exists.
void prepare(AppState& state, const std::string& home, const std::string& catalogLanguage = "deutsch")
{
    state.Dirs.DataDir = home + "daten/";
    state.User.Country.Language = "deutsch";
    state.Store.SetLanguages(catalogLanguage, "deutsch");
    CreateFolder(state.Dirs.DataDir);
}

} // namespace

class ShopProfileDialogTest : public QObject {
    Q_OBJECT

    void type(QWidget* control, const QString& text)
    {
        control->setFocus();
        if (auto* combo = qobject_cast<QComboBox*>(control)) {
            combo->clearEditText();
        } else {
            qobject_cast<QLineEdit*>(control)->clear();
        }
        QTest::keyClicks(control, text);
    }

private Q_SLOTS:
    // A wrong IBAN or BIC keeps the dialog open with a message naming it;
    // good ones and the VAT choice reach the file.
    void bankAccountIsCheckedAndVatChoiceStored()
    {
        QTemporaryDir dir;
        const std::string home = dir.path().toStdString() + "/";
        AppState state(home);
        prepare(state, home);
        const std::string profile = state.Dirs.DataDir + "shopprofil.ini";
        WriteTextFile(profile, kProfile);

        ScriptedPrompter prompter;
        ShopProfileDialog dialog(state, prompter);
        dialog.showPage(ShopProfileDialog::InvoicePage);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* iban = child<QLineEdit>(&dialog, "iban");
        auto* bic = child<QLineEdit>(&dialog, "bic");
        auto* vat = child<QComboBox>(&dialog, "vatmode");
        QCOMPARE(vat->count(), 2);
        QCOMPARE(vat->currentIndex(), 0); // the home rate, as before the choice

        struct Case {
            const char* iban;
            const char* bic;
            const char* named;
        } refused[] = {
            {"DE89 3704 0044 0532 0130 01", "", "IBAN"},
            {"DE89 3704 0044 0532 0130 00", "COBA", "BIC"},
        };
        for (const Case& c : refused) {
            type(iban, QString::fromUtf8(c.iban));
            type(bic, QString::fromUtf8(c.bic));
            QTest::mouseClick(child<QPushButton>(&dialog, "OkButton"), Qt::LeftButton);
            QVERIFY2(dialog.isVisible(), c.iban);
            QCOMPARE(prompter.told.size(), 1);
            QVERIFY2(prompter.told.takeFirst().contains(QString::fromUtf8(c.named)), c.named);
        }
        QVERIFY(IniFile(profile).ReadString("Invoice", "iban", "").empty());

        type(iban, QStringLiteral("de89 3704 0044 0532 0130 00"));
        type(bic, QStringLiteral("COBADEFFXXX"));
        vat->setCurrentIndex(1);
        QTest::mouseClick(child<QPushButton>(&dialog, "OkButton"), Qt::LeftButton);
        QTRY_VERIFY(!dialog.isVisible());
        QVERIFY(prompter.told.isEmpty());
        const IniFile ini(profile);
        QCOMPARE(ini.ReadString("Invoice", "iban", ""), std::string("DE89370400440532013000"));
        QCOMPARE(ini.ReadString("Invoice", "bic", ""), std::string("COBADEFFXXX"));
        QCOMPARE(ini.ReadString("Invoice", "UStLieferland", ""), std::string("1"));

        ShopProfileDialog again(state, prompter);
        again.showPage(ShopProfileDialog::InvoicePage);
        QCOMPARE(child<QComboBox>(&again, "vatmode")->currentIndex(), 1);
        QCOMPARE(child<QLineEdit>(&again, "iban")->text(), QStringLiteral("DE89 3704 0044 0532 0130 00"));
    }

    void editsReachTheFileOnlyWithOk()
    {
        QTemporaryDir dir;
        const std::string home = dir.path().toStdString() + "/";
        AppState state(home);
        prepare(state, home, "english");
        state.User.Country.Rate[0] = 1.5;
        const std::string profile = state.Dirs.DataDir + "shopprofil.ini";
        CreateFolder(state.Dirs.DataDir + "deutsch/");
        WriteTextFile(profile, kProfile);
        WriteTextFile(state.Dirs.DataDir + "deutsch/intro.txt", "Willkommen\r\n");

        ScriptedPrompter prompter;
        ShopProfileDialog dialog(state, prompter);
        dialog.showPage(ShopProfileDialog::LayoutPage);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* pages = child<QTabWidget>(&dialog, "ShopProfilePages");
        QCOMPARE(pages->currentIndex(), 2);
        QCOMPARE(dialog.findChildren<HelpMark*>().size(), 9);

        auto* freeDelivery = child<QLineEdit>(&dialog, "freedelivery");
        auto* qdLevel = child<QComboBox>(&dialog, "qd_level");
        auto* qdQuantity = child<QLineEdit>(&dialog, "qd_quantity");
        auto* qdRate = child<QLineEdit>(&dialog, "qd_rate");
        auto* pdLevel = child<QComboBox>(&dialog, "pd_level");
        auto* pdPrice = child<QLineEdit>(&dialog, "pd_price");
        auto* pdRate = child<QLineEdit>(&dialog, "pd_rate");
        QCOMPARE(freeDelivery->text(), QStringLiteral("150.00")); // 100 euro at 1.5
        QCOMPARE(child<QLineEdit>(&dialog, "paymentterm")->text(), QStringLiteral("14"));
        QCOMPARE(child<QComboBox>(&dialog, "shop_font")->currentText(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(child<QPlainTextEdit>(&dialog, "text_intro")->toPlainText(), QStringLiteral("Willkommen"));
        QCOMPARE(qdLevel->currentText(), QStringLiteral("ab 10"));
        QCOMPARE(qdQuantity->text(), QStringLiteral("10"));
        QCOMPARE(qdRate->text(), QStringLiteral("5"));

        // Invoice data
        pages->setCurrentIndex(ShopProfileDialog::InvoicePage);
        type(freeDelivery, QStringLiteral("75"));
        child<QCheckBox>(&dialog, "header")->setChecked(true);

        // Deleting the middle level shows the one before it.
        pages->setCurrentIndex(ShopProfileDialog::DiscountPage);
        qdLevel->setEditText(QStringLiteral("ab 50"));
        QTest::mouseClick(child<QLabel>(&dialog, "qd_delete"), Qt::LeftButton);
        QCOMPARE(qdLevel->count(), 2);
        QCOMPARE(qdLevel->currentText(), QStringLiteral("ab 10"));

        // A new quantity level with Enter in the level box.
        qdQuantity->setText(QStringLiteral("500"));
        qdRate->setText(QStringLiteral("20"));
        type(qdLevel, QStringLiteral("ab 500"));
        QTest::keyClick(qdLevel, Qt::Key_Return);
        QCOMPARE(qdLevel->count(), 3);
        QVERIFY(qdQuantity->hasFocus());

        // A new price level by leaving the level box, then its values.
        type(pdLevel, QStringLiteral("ab 5"));
        QTest::keyClick(pdLevel, Qt::Key_Tab);
        QCOMPARE(pdLevel->count(), 1);
        QCOMPARE(pdPrice->text(), QString());
        type(pdPrice, QStringLiteral("5,5"));
        QTest::keyClick(pdPrice, Qt::Key_Tab);
        type(pdRate, QStringLiteral("3"));
        QTest::keyClick(pdRate, Qt::Key_Tab);
        QCOMPARE(pdPrice->text(), QStringLiteral("5.50"));

        // The head's font colour through the colour dialog.
        pages->setCurrentIndex(ShopProfileDialog::LayoutPage);
        auto* fontSwatch = child<QLabel>(&dialog, "el_fontcolor");
        QTest::mouseClick(fontSwatch, Qt::LeftButton); // no element yet: nothing opens
        QTest::mouseClick(child<QLabel>(&dialog, "preview_head"), Qt::LeftButton);
        QCOMPARE(child<QGroupBox>(&dialog, "ElementGroup")->title(), QStringLiteral("KOPF"));
        QCOMPARE(child<QLabel>(&dialog, "el_bgcolor_hex")->text(), QStringLiteral("#808080"));
        QTimer::singleShot(0, &dialog, [&dialog] {
            auto* colours = dialog.findChild<QColorDialog*>(QStringLiteral("ColourDialog"));
            colours->setCurrentColor(Qt::red);
            colours->accept();
        });
        QTest::mouseClick(fontSwatch, Qt::LeftButton);
        QCOMPARE(child<QLabel>(&dialog, "el_fontcolor_hex")->text(), QStringLiteral("#FF0000"));
        // The swatch keeps a border of its own, so that white shows on white.
        QVERIFY(fontSwatch->palette().color(QPalette::WindowText) != fontSwatch->palette().color(QPalette::Window));

        child<QPlainTextEdit>(&dialog, "text_service")->setPlainText(QStringLiteral("Versand\nweltweit"));
        QCOMPARE(ReadFile(profile), std::string(kProfile)); // nothing stored before "OK"

        QTest::mouseClick(child<QPushButton>(&dialog, "OkButton"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(ReadFile(profile),
                 std::string("[Creation]\r\nLaender=Germany\r\n"
                             "[Invoice]\r\nFreihaus=50.000\r\nZahlfrist=14\r\nVerpackung=0.000\r\n"
                             "bank=\r\nblz=\r\nkto=\r\nstnr=\r\nustid=\r\niban=\r\nbic=\r\nUStLieferland=0\r\n"
                             "Kopfzeile=1\r\nFusszeile=0\r\n"
                             "[Mengenrabatt]\r\nab 10=10/5\r\nab 100=100/15\r\nab 500=500/20\r\n"
                             "[Preisrabatt]\r\nab 5=5.500/3\r\n"
                             "[Layout]\r\nFont=MS Sans Serif\r\n"
                             "D-FC=$000000\r\nD-BC=$FFFFFF\r\nK-FC=$0000FF\r\nK-BC=$808080\r\n"
                             "U-FC=$808080\r\nU-BC=$C0C0C0\r\nT-FC=$000000\r\nT-BC=$FFFFFF\r\n"
                             "V-FC=$000000\r\n"));
        QCOMPARE(ReadFile(state.Dirs.DataDir + "english/service.txt"), std::string("Versand\r\nweltweit\r\n"));
        QCOMPARE(ReadFile(state.Dirs.DataDir + "english/intro.txt"), std::string("Willkommen\r\n"));

        // "Abbrechen" drops level edits; the next showing reads the file again.
        const std::string saved = ReadFile(profile);
        dialog.showPage(ShopProfileDialog::DiscountPage);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(qdLevel->count(), 3);
        QTest::mouseClick(child<QLabel>(&dialog, "qd_delete"), Qt::LeftButton);
        QCOMPARE(qdLevel->count(), 2);
        QTest::mouseClick(child<QPushButton>(&dialog, "CancelButton"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(ReadFile(profile), saved);
        dialog.showPage(ShopProfileDialog::DiscountPage);
        QCOMPARE(qdLevel->count(), 3);

        // A level name the file cannot hold is refused through the prompter.
        QVERIFY(prompter.told.isEmpty());
        qdLevel->setEditText(QStringLiteral("ab=1"));
        QTest::mouseClick(child<QLabel>(&dialog, "qd_save"), Qt::LeftButton);
        QCOMPARE(qdLevel->count(), 3);
        QCOMPARE(prompter.told.size(), 1);
        QVERIFY2(prompter.told.first().contains(QStringLiteral("ab=1")), qPrintable(prompter.told.first()));
    }

    // Level names as merchants write them show whole in both lists, in the
    // field and in the list that drops down, at the dialog's opening size
    // and at its smallest.
    void discountLevelsShowWholeAtEverySize()
    {
        QTemporaryDir dir;
        const std::string home = dir.path().toStdString() + "/";
        AppState state(home);
        prepare(state, home);
        WriteTextFile(state.Dirs.DataDir + "shopprofil.ini",
                      "[Mengenrabatt]\r\nab 5 St\xFC"
                      "ck: 3 %=5/3\r\nab 100 St\xFC"
                      "ck: 12,5 % Rabatt=100/12.5\r\n"
                      "[Preisrabatt]\r\nab 1.000 EUR Bestellwert: 5 %=1000.000/5\r\n");
        ScriptedPrompter prompter;
        ShopProfileDialog dialog(state, prompter);
        dialog.showPage(ShopProfileDialog::DiscountPage);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        const QSize opening = dialog.size();
        for (const QSize& size : {opening, QSize(1, 1)}) {
            dialog.resize(size);
            QTest::qWait(20);
            for (const char* name : {"qd_level", "pd_level"}) {
                auto* level = child<QComboBox>(&dialog, name);
                QVERIFY(level->count() > 0);
                for (int i = 0; i < level->count(); ++i) {
                    level->setCurrentIndex(i);
                    const QString text = level->itemText(i);
                    const int needed = level->lineEdit()->fontMetrics().horizontalAdvance(text);
                    // The field keeps a margin of two pixels either side of its text.
                    const QRect room = level->lineEdit()->rect().adjusted(2, 0, -2, 0);
                    QVERIFY2(room.width() >= needed, qPrintable(QStringLiteral("%1 at %2x%3: %4 < %5 for \"%6\"")
                                                                    .arg(QString::fromUtf8(name))
                                                                    .arg(dialog.width())
                                                                    .arg(dialog.height())
                                                                    .arg(room.width())
                                                                    .arg(needed)
                                                                    .arg(text)));
                    level->showPopup();
                    QAbstractItemView* view = level->view();
                    QTRY_VERIFY(view->isVisible());
                    const int neededInList = view->fontMetrics().horizontalAdvance(text);
                    QVERIFY2(view->viewport()->width() >= neededInList, qPrintable(QStringLiteral("list of %1: %2 < %3")
                                                                                       .arg(QString::fromUtf8(name))
                                                                                       .arg(view->viewport()->width())
                                                                                       .arg(neededInList)));
                    level->hidePopup();
                }
            }
        }
        dialog.reject();
    }

    void invoiceNumberingIsEditedOnTheInvoicePage()
    {
        QTemporaryDir dir;
        const std::string home = dir.path().toStdString() + "/";
        AppState state(home);
        prepare(state, home);
        const std::string profile = state.Dirs.DataDir + "shopprofil.ini";
        WriteTextFile(profile, "[Invoice]\r\nReNrPrefix=RE-2026-\r\nReNrNext=0007\r\n");

        ScriptedPrompter prompter;
        ShopProfileDialog dialog(state, prompter);
        dialog.showPage(ShopProfileDialog::InvoicePage);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* prefix = child<QLineEdit>(&dialog, "invoiceprefix");
        auto* next = child<QLineEdit>(&dialog, "invoicenext");
        QCOMPARE(prefix->text(), QStringLiteral("RE-2026-"));
        QCOMPARE(next->text(), QStringLiteral("0007"));

        // Only digits get in; an empty number is refused and the dialog stays.
        type(next, QStringLiteral("x"));
        QCOMPARE(next->text(), QString());
        QTest::mouseClick(child<QPushButton>(&dialog, "OkButton"), Qt::LeftButton);
        QCOMPARE(prompter.told.size(), 1);
        QVERIFY(dialog.isVisible());
        QCOMPARE(IniFile(profile).ReadString("Invoice", "ReNrNext", ""), std::string("0007"));

        type(prefix, QStringLiteral("R"));
        type(next, QStringLiteral("0100"));
        QTest::mouseClick(child<QPushButton>(&dialog, "OkButton"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(IniFile(profile).ReadString("Invoice", "ReNrPrefix", ""), std::string("R"));
        QCOMPARE(IniFile(profile).ReadString("Invoice", "ReNrNext", ""), std::string("0100"));
    }
};

QTEST_MAIN(ShopProfileDialogTest)
#include "ShopProfileDialogTest.moc"
