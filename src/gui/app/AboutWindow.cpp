#include "gui/app/AboutWindow.h"

#include "core/common/Text.h"
#include "gui/app/AppState.h"
#include "gui/common/ClickableLabel.h"
#include "gui/common/DecoratedLabel.h"
#include "gui/common/Pictures.h"
#include "gui/common/QtText.h"
#include "gui/common/Translator.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace quillane::gui {

namespace {
constexpr int kWidth = 342;
constexpr int kHeight = 162;
constexpr int kShadow = 3;
} // namespace

AboutWindow::AboutWindow(const AppState& state, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), state_(state)
{
    setObjectName(QStringLiteral("AboutWindow"));
    setFixedSize(kWidth + kShadow, kHeight + kShadow);

    picture_ = new QLabel(this);
    picture_->setObjectName(QStringLiteral("aboutPicture"));
    picture_->setGeometry(1, 1, 340, 160);

    title_ = new DecoratedLabel(this);
    title_->setObjectName(QStringLiteral("aboutTitle"));
    title_->setStyleSheet(QStringLiteral("color: #1d3557; font-weight: bold;"));

    prompt_ = new QLabel(QStringLiteral("Bitte vervollständigen Sie zunächst Ihre Grundeinstellungen"), this);
    prompt_->setObjectName(QStringLiteral("aboutPrompt"));
    prompt_->setWordWrap(true);
    prompt_->setGeometry(112, 94, 180, 56);
    prompt_->setStyleSheet(QStringLiteral("color: #333333;"));

    notice_ = new QLabel(QStringLiteral("Version 1.0 \u00b7 \u00a9 2026"), this);
    notice_->setObjectName(QStringLiteral("aboutNotice"));
    notice_->setGeometry(112, 130, 140, 18);
    notice_->setStyleSheet(QStringLiteral("color: #555555; font-size: 8pt;"));

    ok_ = new ClickableLabel(this);
    ok_->setObjectName(QStringLiteral("aboutOk"));
    ok_->setGeometry(300, 72, 21, 21);
    ok_->setCursor(Qt::PointingHandCursor);

    cancel_ = new ClickableLabel(this);
    cancel_->setObjectName(QStringLiteral("aboutCancel"));
    cancel_->setGeometry(300, 94, 21, 21);
    cancel_->setCursor(Qt::PointingHandCursor);

    // A way out that needs no guessing; the setup prompt has its own two.
    close_ = new QPushButton(QStringLiteral("Schließen"), this);
    close_->setObjectName(QStringLiteral("aboutClose"));
    setHint(close_, "Schliessen");
    close_->setGeometry(256, 126, 78, 26);
    connect(close_, &QPushButton::clicked, this, &AboutWindow::fadeOut);

    for (QWidget* w : {static_cast<QWidget*>(title_), static_cast<QWidget*>(prompt_), static_cast<QWidget*>(notice_),
                       static_cast<QWidget*>(ok_), static_cast<QWidget*>(cancel_), static_cast<QWidget*>(close_)}) {
        w->hide();
    }

    connect(ok_, &ClickableLabel::clicked, this, [this] {
        fadeOut();
        Q_EMIT setupRequested();
    });
    connect(cancel_, &ClickableLabel::clicked, this, &AboutWindow::leave);
}

void AboutWindow::configure()
{
    QFont font = title_->font();
    if (!state_.inSetup()) {
        title_->setText(toQ(UpperCase(state_.User.UserID)));
        font.setPointSize(18);
        title_->setFont(font);
        title_->setGeometry(112, 70, 210, 30);
        title_->show();
        prompt_->hide();
        ok_->hide();
        cancel_->hide();
        notice_->show();
        close_->show();
    } else {
        title_->setText(toQ(state_.Texts.Notice("FirstSetup", "FIRST TIME SETUP")));
        font.setPointSize(12);
        title_->setFont(font);
        title_->setGeometry(112, 68, 185, 22);
        title_->show();
        notice_->hide();
        close_->hide();
        ok_->show();
        cancel_->show();
        const std::string& text = state_.Texts.MsgBoxTexts[msgbox::kCompleteSettings];
        if (!text.empty()) {
            prompt_->setText(toQ(text));
        }
        prompt_->show();
    }
}

void AboutWindow::showEvent(QShowEvent* event)
{
    closing_ = false;
    setWindowOpacity(1.0);
    picture_->setPixmap(embeddedPixmap("about"));
    ok_->setPixmap(embeddedPixmap("ok"));
    cancel_->setPixmap(embeddedPixmap("cancel"));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    QWidget::showEvent(event);
}

void AboutWindow::showAbout()
{
    show();
    raise();
    activateWindow();
    setFocus(Qt::ActiveWindowFocusReason);
}

void AboutWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    // The drop shadow: a grey edge right and below the white card.
    p.fillRect(rect(), QColor(0x9a, 0xa0, 0xa8));
    p.fillRect(0, 0, kWidth, kHeight, Qt::white);
    p.setPen(QColor(0xb0, 0xb8, 0xc4));
    p.drawRect(0, 0, kWidth - 1, kHeight - 1);
}

void AboutWindow::mousePressEvent(QMouseEvent*)
{
    leave();
}

void AboutWindow::keyPressEvent(QKeyEvent*)
{
    leave();
}

void AboutWindow::leave()
{
    const bool postponed = state_.inSetup() && isVisible() && !closing_;
    fadeOut();
    if (postponed) {
        Q_EMIT setupPostponed();
    }
}

void AboutWindow::fadeOut()
{
    if (closing_ || !isVisible()) {
        return;
    }
    closing_ = true;
    for (int opacity = 255; opacity >= 1; --opacity) {
        setWindowOpacity(opacity / 255.0);
    }
    close();
}

} // namespace quillane::gui
