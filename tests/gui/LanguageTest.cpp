#include "gui/app/Application.h"
#include "gui/app/MainWindow.h"
#include "gui/common/MessageBoxPrompter.h"

#include "GuiTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace quillane;
using namespace quillane::gui;
using namespace quillane::gui::test;

namespace {

const char* const kGermany = "[Account]\r\nCountry=Germany\r\n[Connection]\r\nconnection=1\r\n";

QString withoutMnemonic(QString text)
{
    return text.remove(QLatin1Char('&'));
}

} // namespace

class LanguageTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("LC_ALL", "de_DE.UTF-8"); }

    // The toolkit's own buttons follow the interface language, both ways.
    void standardButtonsSpeakTheInterfaceLanguage()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, kGermany);
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        const auto captions = [] {
            QDialogButtonBox box(QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Cancel);
            return QStringList{withoutMnemonic(box.button(QDialogButtonBox::Yes)->text()),
                               withoutMnemonic(box.button(QDialogButtonBox::No)->text()),
                               withoutMnemonic(box.button(QDialogButtonBox::Cancel)->text())};
        };
        QCOMPARE(captions(), (QStringList{QStringLiteral("Ja"), QStringLiteral("Nein"), QStringLiteral("Abbrechen")}));
        app.mainWindow()->setInterfaceLanguage(QStringLiteral("english"));
        QCOMPARE(captions(), (QStringList{QStringLiteral("Yes"), QStringLiteral("No"), QStringLiteral("Cancel")}));
        app.mainWindow()->close();
    }

    // The program's questions carry the language file's button captions.
    void questionsUseTheLanguageFilesButtons()
    {
        QTemporaryDir dir;
        const std::string home = makeHome(dir, kGermany);
        ScriptedPrompter prompter;
        Application app(home, &prompter);
        app.start();
        MessageBoxPrompter boxes(app.mainWindow());
        boxes.setTexts(&app.state().Texts);

        QStringList seen;
        QTimer::singleShot(0, this, [&seen] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            for (QAbstractButton* b : box->buttons()) {
                seen << b->text();
            }
            seen.sort();
            for (QAbstractButton* b : box->buttons()) {
                if (box->buttonRole(b) == QMessageBox::NoRole) {
                    b->click();
                }
            }
        });
        QCOMPARE(boxes.Ask("Quillane", "?", Prompter::Buttons::YesNoCancel, Prompter::Icon::Question),
                 Prompter::Answer::No);
        QStringList expected{lng(home, "deutsch", "Buttons", "Ja"), lng(home, "deutsch", "Buttons", "Nein"),
                             lng(home, "deutsch", "Buttons", "Abbrechen")};
        expected.sort();
        QCOMPARE(seen, expected);
        app.mainWindow()->close();
    }
};

QTEST_MAIN(LanguageTest)
#include "LanguageTest.moc"
