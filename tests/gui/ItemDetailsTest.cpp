#include "core/catalog/Project.h"
#include "core/imaging/Picture.h"
#include "gui/app/Application.h"
#include "gui/app/MainWindow.h"
#include "gui/catalog/CatalogPage.h"
#include "gui/catalog/GroupPanel.h"
#include "gui/catalog/GroupTree.h"
#include "gui/catalog/ItemDetailsArea.h"
#include "gui/catalog/ItemGrid.h"
#include "gui/catalog/ItemPanel.h"
#include "gui/settings/ShopProfileDialog.h"

#include "GuiTestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QThreadPool>

using namespace quillane;
using namespace quillane::gui;
using namespace quillane::gui::test;

namespace {

// The file's bytes, or "(none)" while it does not exist.
std::string contentOf(const std::string& path)
{
    std::string content;
    return TryReadFile(path, content) ? content : std::string("(none)");
}

// A photo-sized JPEG of one colour, written where the merchant keeps it.
void writePhoto(const std::string& path, int w, int h, unsigned char r, unsigned char g, unsigned char b)
{
    std::string ppm = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    ppm.reserve(ppm.size() + std::size_t(w) * h * 3);
    for (int i = 0; i < w * h; ++i) {
        ppm += static_cast<char>(r);
        ppm += static_cast<char>(g);
        ppm += static_cast<char>(b);
    }
    WriteTextFile(path + ".ppm", ppm);
    Picture picture;
    LoadPicture(path + ".ppm", picture);
    SaveScaledJpeg(picture, path, w, h, 90);
}

// The colour in the middle of the shown picture.
QColor shownColour(ItemDetailsArea* details)
{
    const QImage image = details->pictureBox()->pixmap().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

// A program folder in Germany whose working copy holds one group "Brot"
// with the items of shopTmp.
std::string breadShopHome(QTemporaryDir& dir, const std::string& shopTmp)
{
    const std::string home = makeHome(dir, "[Account]\r\nCountry=Germany\r\n[Connection]\r\nconnection=1\r\n");
    CreateFolder(home + "temp/daten");
    WriteTextFile(home + "temp/groups.ini", "[deutsch]\r\n0=Brot\r\n");
    WriteTextFile(home + "temp/shop.tmp", shopTmp);
    return home;
}

bool near(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 &&
           std::abs(a.blue() - b.blue()) < 24;
}

} // namespace

class ItemDetailsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("LC_ALL", "de_DE.UTF-8"); }

    void detailsOfAChosenItem()
    {
        QTemporaryDir dir;
        const std::string home =
            breadShopHome(dir, "[0]\r\nVersand=0.000\r\n4711=Roggen|3.50||0:2||\r\n4712=Dinkel|4.00||||\r\n");
        const std::string temp = home + "temp/";
        // Two pictures, drawn for the test.
        for (const char* name : {"a.ppm", "b.ppm"}) {
            std::string ppm = "P6\n40 20\n255\n" + std::string(40 * 20 * 3, '\x60');
            WriteTextFile(home + name, ppm);
        }
        WriteTextFile(temp + "pictures.ini", "[4711]\r\n1=" + home + "a.ppm\r\n2=" + home + "b.ppm\r\n");
        WriteTextFile(temp + "daten/shopprofil.ini",
                      "[Mengenrabatt]\r\nab 10=10/5\r\nab 50=50/10\r\nab 100=100/15\r\n");
        CreateFolder(temp + "daten/deutsch");
        WriteTextFile(temp + "daten/deutsch/4711.txt", "Kr\xE4"
                                                       "ftig\r\nmit Kruste\r\n");

        ScriptedPrompter prompter;
        prompter.answers << Prompter::Answer::Yes; // the working copy left behind
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        GroupPanel* groups = main->catalogPage()->groupPanel();
        groups->ShowGroups(QStringLiteral("Brot"));
        ItemPanel* items = main->catalogPage()->itemPanel();
        ItemDetailsArea* details = items->details();
        QCOMPARE(items->grid()->topLevelItemCount(), 2);

        // The first row is chosen when the group shows.
        QVERIFY(details->isActive());
        auto* memo = details->findChild<QPlainTextEdit*>(QLatin1String(names::kDescriptionMemo));
        QCOMPARE(memo->toPlainText(), QStringLiteral("Kräftig\nmit Kruste"));
        auto* levels = details->findChild<QListWidget*>(QLatin1String(names::kDiscountLevelList));
        QCOMPARE(levels->count(), 3);
        QCOMPARE(levels->item(1)->text(), QStringLiteral("ab 50: 10 %")); // stored as ab 50=50/10
        QCOMPARE(levels->item(0)->checkState(), Qt::Checked);
        QCOMPARE(levels->item(1)->checkState(), Qt::Unchecked);
        QCOMPARE(levels->item(2)->checkState(), Qt::Checked);
        auto* counter = details->findChild<QLabel*>(QStringLiteral("PictureCounter"));
        QCOMPARE(counter->text(), QStringLiteral("1/2"));
        QTRY_VERIFY(!details->pictureBox()->pixmap().isNull());
        QVERIFY(details->pictureBox()->pixmap().width() <= 160);

        // Editing stores at once.
        levels->item(0)->setCheckState(Qt::Unchecked);
        QVERIFY(ReadFile(temp + "shop.tmp").find("4711=Roggen|3.50||2||") != std::string::npos);
        memo->selectAll();
        QTest::keyClicks(memo, QStringLiteral("Neu"));
        QCOMPARE(ReadFile(temp + "daten/deutsch/4711.txt"), std::string("Neu\r\n"));
        QVERIFY(main->actions().mSpeichern->isEnabled());

        details->findChild<QPushButton*>(QStringLiteral("NextPicture"))->click();
        QCOMPARE(counter->text(), QStringLiteral("2/2"));
        auto* primary = details->findChild<QCheckBox*>(QStringLiteral("Primary"));
        QVERIFY(!primary->isChecked());
        primary->click();
        QVERIFY(ReadFile(temp + "shop.tmp").find("4711=Roggen|3.50|2|2||") != std::string::npos);
        details->findChild<QPushButton*>(QStringLiteral("RemovePicture"))->click();
        QCOMPARE(counter->text(), QStringLiteral("1/1"));
        QCOMPARE(ReadFile(temp + "pictures.ini"), "[4711]\r\n1=" + home + "a.ppm\r\n");

        // "Rabattstaffeln festlegen" opens the shop profile on its discount page.
        details->findChild<QPushButton*>(QLatin1String(names::kDiscountSetupButton))->click();
        QTRY_VERIFY(app.shopProfileDialog()->isVisible());
        app.shopProfileDialog()->reject();

        // The second item has neither pictures nor a description.
        items->grid()->setCurrentItem(items->grid()->topLevelItem(1));
        QCOMPARE(counter->text(), QStringLiteral("0/0"));
        QVERIFY(details->pictureBox()->pixmap().isNull());
        QCOMPARE(memo->toPlainText(), QString());
        QCOMPARE(levels->item(0)->checkState(), Qt::Unchecked);
        QVERIFY(prompter.told.isEmpty());
        prompter.answers << Prompter::Answer::No;
        QVERIFY(main->close());
    }
    // Large photos are decoded at the shown size away from the window's
    // thread; clicking on quickly ends with the last item's picture.
    void largePicturesShowAtTheShownSizeWithoutHoldingTheWindow()
    {
        QTemporaryDir dir;
        const std::string home = breadShopHome(dir, "[0]\r\nVersand=0.000\r\n1=Roggen|3.50||||\r\n2=Dinkel|4.00||||\r\n"
                                                    "3=Hafer|2.00||||\r\n");
        const std::string temp = home + "temp/";
        const struct {
            const char* file;
            int w, h;
            QColor colour;
        } photos[] = {
            {"red.jpg", 1600, 1200, Qt::red}, {"blue.jpg", 1200, 1600, Qt::blue}, {"green.jpg", 64, 48, Qt::green}};
        std::string list;
        for (int i = 0; i < 3; ++i) {
            const auto& p = photos[i];
            writePhoto(home + p.file, p.w, p.h, p.colour.red(), p.colour.green(), p.colour.blue());
            list += "[" + std::to_string(i + 1) + "]\r\n1=" + home + p.file + "\r\n";
        }
        WriteTextFile(temp + "pictures.ini", list);

        ScriptedPrompter prompter;
        prompter.answers << Prompter::Answer::Yes; // the working copy left behind
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        main->catalogPage()->groupPanel()->ShowGroups(QStringLiteral("Brot"));
        ItemPanel* items = main->catalogPage()->itemPanel();
        ItemDetailsArea* details = items->details();
        QCOMPARE(items->grid()->topLevelItemCount(), 3);
        QThreadPool::globalInstance()->waitForDone();

        // Each click returns before the photo is decoded; it then shows
        // fitted to the box, neither a thumbnail nor cut.
        const QSize box = details->pictureBox()->size() - QSize(4, 4);
        for (int row : {1, 0}) {
            items->grid()->setCurrentItem(items->grid()->topLevelItem(row));
            QVERIFY2(details->pictureBox()->pixmap().isNull(), "decoded on the window's thread");
            QTRY_VERIFY(!details->pictureBox()->pixmap().isNull());
            const QSize shown = details->pictureBox()->pixmap().size();
            QVERIFY2(shown.width() <= box.width() && shown.height() <= box.height(),
                     qPrintable(QString::number(shown.width())));
            QVERIFY(shown.width() >= box.width() - 1 || shown.height() >= box.height() - 1);
            QVERIFY(near(shownColour(details), photos[row].colour));
        }

        // Clicking quickly through, the big photos still decoding: only the
        // last item's picture ever shows.
        for (int round = 0; round < 5; ++round) {
            for (int row : {0, 1, 0, 1, 2}) {
                items->grid()->setCurrentItem(items->grid()->topLevelItem(row));
                QTest::qWait(row == 2 ? 0 : 3);
            }
            QTRY_VERIFY(!details->pictureBox()->pixmap().isNull());
            QVERIFY(near(shownColour(details), Qt::green));
            QThreadPool::globalInstance()->waitForDone();
            QTest::qWait(50); // any late result has had its turn
            QVERIFY(near(shownColour(details), Qt::green));
        }
        QVERIFY(prompter.told.isEmpty());
        prompter.answers << Prompter::Answer::No;
        QVERIFY(main->close());
    }

    // The discount levels show whole, with their tick boxes, at the
    // window's opening size and at its smallest.
    void discountLevelsShowWholeAtEverySize()
    {
        QTemporaryDir dir;
        const std::string home = breadShopHome(dir, "[0]\r\nVersand=0.000\r\n4711=Roggen|3.50||0||\r\n");
        const std::string temp = home + "temp/";
        WriteTextFile(temp + "daten/shopprofil.ini", "[Mengenrabatt]\r\nab 5 St\xFC"
                                                     "ck=5/3\r\nab 100 St\xFC"
                                                     "ck f\xFCr Wiederverk\xE4ufer=100/12.5\r\n");
        ScriptedPrompter prompter;
        prompter.answers << Prompter::Answer::Yes; // the working copy left behind
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        main->catalogPage()->groupPanel()->ShowGroups(QStringLiteral("Brot"));
        ItemDetailsArea* details = main->catalogPage()->itemPanel()->details();
        auto* pages = details->findChild<QTabWidget*>(QStringLiteral("DetailPages"));
        pages->setCurrentWidget(details->findChild<QWidget*>(QStringLiteral("DiscountPage")));
        auto* levels = details->findChild<QListWidget*>(QLatin1String(names::kDiscountLevelList));
        QCOMPARE(levels->count(), 2);
        QCOMPARE(levels->item(0)->text(), QStringLiteral("ab 5 Stück: 3 %"));
        const QSize opening = main->size();
        for (const QSize& size : {opening, main->minimumSize()}) {
            main->resize(size);
            QTRY_COMPARE(main->size(), size);
            QTest::qWait(20);
            for (int i = 0; i < levels->count(); ++i) {
                const QRect text = levels->visualItemRect(levels->item(i));
                const int needed = levels->fontMetrics().horizontalAdvance(levels->item(i)->text());
                // The row holds the tick box and the text; the text ends inside the viewport.
                QVERIFY2(text.left() + levels->sizeHintForIndex(levels->model()->index(i, 0)).width() <=
                                 levels->viewport()->width() &&
                             needed < levels->viewport()->width(),
                         qPrintable(QStringLiteral("%1x%2: viewport %3, row needs %4")
                                        .arg(size.width())
                                        .arg(size.height())
                                        .arg(levels->viewport()->width())
                                        .arg(levels->sizeHintForIndex(levels->model()->index(i, 0)).width())));
            }
        }
        prompter.answers << Prompter::Answer::No;
        QVERIFY(main->close());
    }

    // Text that arrives without a key (pasted with the mouse, dropped, undone)
    // is stored too, and before the item, the project or the program changes.
    void aDescriptionChangedWithoutAKeyIsStored()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, "[Account]\r\nCountry=Germany\r\n[Connection]\r\nconnection=1\r\n");
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MainWindow* main = app.mainWindow();
        GroupPanel* groups = main->catalogPage()->groupPanel();
        QTest::keyClicks(groups->mainGroupEdit(), QStringLiteral("Brot"));
        QTest::keyClick(groups->mainGroupEdit(), Qt::Key_Return);
        groups->tree()->setCurrentItem(groups->tree()->topLevelItem(0));
        ItemPanel* items = main->catalogPage()->itemPanel();
        for (const char* orderNo : {"4711", "4712"}) {
            QTest::keyClicks(items->findChild<QLineEdit*>(QStringLiteral("Bezeichnung")), QStringLiteral("Roggen"));
            QTest::keyClicks(items->findChild<QLineEdit*>(QStringLiteral("BestNr")), QString::fromUtf8(orderNo));
            QTest::keyClicks(items->findChild<QLineEdit*>(QStringLiteral("Preis")), QStringLiteral("3"));
            QTest::keyClick(items->findChild<QLineEdit*>(QStringLiteral("Preis")), Qt::Key_Return);
        }
        items->grid()->setCurrentItem(items->grid()->topLevelItem(0));
        main->project().Changes(false);
        auto* memo = items->details()->findChild<QPlainTextEdit*>(QLatin1String(names::kDescriptionMemo));
        const std::string data = home + "temp/daten/deutsch/";

        memo->insertPlainText(QStringLiteral("Vom Bäcker"));
        QTRY_COMPARE(contentOf(data + "4711.txt"), std::string("Vom B\344cker\r\n"));
        QVERIFY(main->actions().mSpeichern->isEnabled());

        // Another item chosen at once: the text stays with the first one.
        memo->insertPlainText(QStringLiteral(" am Markt"));
        items->grid()->setCurrentItem(items->grid()->topLevelItem(1));
        QCOMPARE(contentOf(data + "4711.txt"), std::string("Vom B\344cker am Markt\r\n"));
        QVERIFY(!FileExists(data + "4712.txt"));

        // Closing at once: stored, and so the save question is asked.
        main->project().Changes(false);
        memo->insertPlainText(QStringLiteral("Dinkel"));
        prompter.answers << Prompter::Answer::No;
        QVERIFY(main->close());
        QCOMPARE(prompter.asked, QStringList{QStringLiteral("Best\u00e4tigung!")});
        QCOMPARE(contentOf(data + "4712.txt"), std::string("Dinkel\r\n"));
    }
};

QTEST_MAIN(ItemDetailsTest)
#include "ItemDetailsTest.moc"
