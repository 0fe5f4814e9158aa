#include "gui/app/BrowserPage.h"
#include "core/common/Files.h"

#include "GuiTestSupport.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

using namespace quillane;
using namespace quillane::gui;
using namespace quillane::gui::test;

namespace {

// The text the browser shows now, once it has it.
QString shownText(BrowserPage& page)
{
    QString text;
    bool answered = false;
    page.view()->page()->toPlainText([&](const QString& t) {
        text = t;
        answered = true;
    });
    // Unanswered, it reads as nothing shown: the caller waits on.
    return QTest::qWaitFor([&] { return answered; }, 2000) ? text : QString();
}

} // namespace

class BrowserPageTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A page that cannot be loaded shows ours, said as the window says its
    // messages, with the address; "Neu laden" tries the address again
    // rather than our page.
    void aPageThatCannotBeLoadedShowsOursAndReloadTriesAgain()
    {
        QTemporaryDir dir;
        const std::string path = dir.path().toStdString() + "/hilfe.html";
        BrowserPage page;
        page.setTexts(
            [](const Message& message) { return "[" + std::string(message.Key.Name) + "] " + EnglishText(message); });
        page.resize(640, 480);
        page.show();

        page.showFile(path);
        QTRY_VERIFY_WITH_TIMEOUT(shownText(page).startsWith(QStringLiteral("[OnlinePageUnreachable]")), 20000);
        const QString shown = shownText(page);
        QVERIFY2(shown.contains(QStringLiteral("[OnlineUnreachableReason]")), qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("hilfe.html")), qPrintable(shown));

        WriteTextFile(path, "<html><body><p>Hilfe ist da</p></body></html>");
        QTest::mouseClick(child<QPushButton>(&page, "Reload"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(shownText(page), QStringLiteral("Hilfe ist da"), 20000);
    }
};

QTEST_MAIN(BrowserPageTest)
#include "BrowserPageTest.moc"
