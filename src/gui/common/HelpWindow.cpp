#include "gui/common/HelpWindow.h"

#include "gui/common/Translator.h"

#include "core/common/Error.h"
#include "core/common/HelpPage.h"
#include "core/common/Prompter.h"
#include "gui/app/AppState.h"
#include "gui/common/Guarded.h"
#include "gui/common/HelpMark.h"
#include "gui/common/QtText.h"

#include <QApplication>
#include <QMouseEvent>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <QWindow>

namespace quillane::gui {

HelpWindow::HelpWindow(const AppState& state, Prompter& prompter, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), state_(state), prompter_(prompter)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Hilfe"));
    setHint(this, "Actions|mHilfe");
    // Room for a section of several paragraphs at a readable size.
    resize(560, 380);
    setMinimumSize(360, 200);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QApplication::palette().color(QPalette::ToolTipBase));
    setPalette(pal);
    setAutoFillBackground(true);
}

void HelpWindow::attachMarks(QWidget* window)
{
    const auto marks = window->findChildren<HelpMark*>();
    for (HelpMark* mark : marks) {
        connect(mark, &HelpMark::helpRequested, this, &HelpWindow::showHelp, Qt::UniqueConnection);
    }
}

void HelpWindow::showHelp(const QString& keyword)
{
    const QString page = keyword.section(QLatin1Char('|'), 0, 0);
    const QString anchor = keyword.section(QLatin1Char('|'), 1);
    const std::string out = state_.Dirs.TempDir + "help.html";
    if (!guarded(prompter_, [&] {
            BuildHelpPage(state_.Dirs.ProgramDir + "hilfe/" + fromQ(page) + ".html", fromQ(anchor), out);
        })) {
        return;
    }
    if (view_ == nullptr) {
        // The browser starts only when help is first asked for.
        view_ = new QWebEngineView(this);
        view_->setObjectName(QStringLiteral("HelpView"));
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(4, 4, 4, 4);
        layout->addWidget(view_);
    }
    // Each section is a new page: a reload would keep the place the last
    // one was scrolled to, and the heading of this one could be out of sight.
    QUrl url = QUrl::fromLocalFile(toQ(out));
    url.setQuery(QString::number(++loads_));
    view_->load(url);
    view_->setZoomFactor(1.4);
    // A modal window passes no input to the other windows, so above one the
    // help could not be closed: while a modal window is open, the help is its own.
    QWidget* above = QApplication::activeModalWidget();
    if (above == nullptr && parentWidget() != nullptr) {
        above = parentWidget()->window();
    }
    if (above != nullptr) {
        move(above->geometry().center() - rect().center());
    }
    show();
    if (above != nullptr && above->windowHandle() != nullptr) {
        windowHandle()->setTransientParent(above->windowHandle());
    }
    raise();
}

void HelpWindow::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    close();
}

} // namespace quillane::gui
