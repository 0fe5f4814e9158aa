#include "gui/online/AccountPage.h"

#include "core/common/messages/OnlineMessages.h"
#include "core/i18n/LanguageFile.h"
#include "core/online/AccountManager.h"
#include "core/online/WebConnect.h"
#include "core/orders/OrderService.h"
#include "core/settings/Country.h"
#include "gui/app/AppState.h"
#include "gui/common/Guarded.h"
#include "gui/common/HelpMark.h"
#include "gui/common/QtText.h"
#include "gui/online/LoadFailurePage.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QShowEvent>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

namespace quillane::gui {

AccountPage::AccountPage(AppState& state, Prompter& prompter, DialUpClient& dialUp, QWidget* parent)
    : QWidget(parent), state_(state), prompter_(prompter), dialUp_(dialUp)
{
    setObjectName(QStringLiteral("AccountPage"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* top = new QHBoxLayout;
    top->setContentsMargins(4, 2, 4, 2);
    top->addStretch(1);
    top->addWidget(new HelpMark(QStringLiteral("accountmanager|account"), this));
    layout->addLayout(top);
}

QWebEngineView* AccountPage::browser()
{
    if (view_ == nullptr) {
        view_ = new QWebEngineView(this);
        view_->setObjectName(QStringLiteral("WebBrowser1"));
        static_cast<QVBoxLayout*>(layout())->addWidget(view_, 1);
        connect(view_, &QWebEngineView::loadFinished, this, &AccountPage::WebBrowser1DocumentComplete);
        ShowOwnLoadFailures(
            view_->page(), [this](const Message& message) { return state_.Texts.Say(message); },
            msg::OnlineServiceUnreachable, msg::OnlineTryAgain);
    }
    return view_;
}

void AccountPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous() && !opening_) {
        ManageAccount("show");
    }
}

void AccountPage::ManageAccount(const std::string& action)
{
    if (!isVisible()) {
        opening_ = true;
        Q_EMIT frontRequested();
        opening_ = false;
    }
    QWebEngineView* view = browser();
    const std::string& home = state_.Dirs.ProgramDir;
    std::string url;
    guarded(prompter_, [&] {
        if (!WebConnect(state_.User, home, state_.Texts.MsgBoxTexts[msgbox::kDialUp], dialUp_, prompter_)) {
            return;
        }
        const std::string code = AccountCountryCode(CountryTablePath(home), state_.User.Country.Name);
        url = AccountPageUrl(OrderServiceAddress(home), code, action, state_.User.UserID, state_.User.Password);
    });
    if (!url.empty()) {
        // Already percent-encoded: the service must get these bytes as they are.
        view->load(QUrl::fromEncoded(QByteArray::fromStdString(url)));
    }
}

void AccountPage::WebBrowser1DocumentComplete()
{
    // Address and HTML asked together, so both come from the same document
    // even when the browser has moved on meanwhile.
    static const QString script =
        QStringLiteral("[String(document.location.href), document.documentElement.innerHTML]");
    const QPointer<AccountPage> self(this);
    view_->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, [self](const QVariant& result) {
        if (self.isNull()) {
            return;
        }
        const QVariantList parts = result.toList();
        if (parts.size() != 2) {
            return;
        }
        const QString address = parts[0].toString();
        bool taken = false;
        guarded(self->prompter_, [&] {
            taken = TakeOverAccount(self->state_.Dirs.ProgramDir, fromQ(address), fromQ(parts[1].toString()));
        });
        if (taken) {
            Q_EMIT self->accountTakenOver();
        }
        Q_EMIT self->documentChecked(address, taken);
    });
}

} // namespace quillane::gui
