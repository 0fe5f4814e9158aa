#include "gui/app/BrowserPage.h"

#include "core/common/Files.h"
#include "core/common/messages/OnlineMessages.h"
#include "gui/app/ShopServer.h"
#include "gui/common/QtText.h"
#include "gui/common/Translator.h"
#include "gui/listing/AuctionPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace quillane::gui {

BrowserPage::BrowserPage(QWidget* parent)
    : QWidget(parent), bar_(new QWidget(this)), back_(new QPushButton(QStringLiteral("Zurück zum Katalog"), bar_)),
      caption_(new QLabel(bar_)), reload_(new QPushButton(QStringLiteral("Neu laden"), bar_))
{
    setObjectName(QStringLiteral("HelpPage"));
    bar_->setObjectName(QStringLiteral("BrowserBar"));
    back_->setObjectName(QStringLiteral("BackToCatalog"));
    setHint(back_, "backtocatalog");
    back_->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    back_->setToolTip(QStringLiteral("Esc"));
    reload_->setObjectName(QStringLiteral("Reload"));
    setHint(reload_, "reload");
    reload_->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    caption_->setObjectName(QStringLiteral("ShopCaption"));
    caption_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = caption_->font();
    bold.setBold(true);
    caption_->setFont(bold);
    caption_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    caption_->setContentsMargins(6, 4, 6, 4);
    caption_->hide();
    // The buttons keep their own width also when no caption stands between them.
    for (QPushButton* button : {back_, reload_}) {
        button->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    }
    auto* bar = new QHBoxLayout(bar_);
    bar->setContentsMargins(4, 4, 4, 4);
    bar->addWidget(back_);
    bar->addWidget(caption_, 1);
    bar->addStretch(0);
    bar->addWidget(reload_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(bar_);
    connect(back_, &QPushButton::clicked, this, &BrowserPage::backRequested);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &BrowserPage::backRequested);
    connect(reload_, &QPushButton::clicked, this, [this] {
        if (view_ == nullptr) {
            return;
        }
        // After a failure the view shows our page; reloading tries the address again.
        const QUrl failed = FailedAddress(view_->page());
        const QUrl url = failed.isEmpty() ? view_->url() : failed;
        if (!url.isEmpty()) {
            loadFresh(url);
        }
    });
}

QWebEnginePage* BrowserPage::ownPage(QWebEngineView* view)
{
    auto* page = new QWebEnginePage(view);
    ShowOwnLoadFailures(
        page, [this](const Message& message) { return say_ ? say_(message) : EnglishText(message); },
        msg::OnlinePageUnreachable);
    return page;
}

void BrowserPage::loadFresh(const QUrl& url)
{
    QWebEngineView* v = view();
    QWebEnginePage* left = v->page();
    v->setPage(ownPage(v));
    left->deleteLater();
    v->load(url);
}

QWebEngineView* BrowserPage::view()
{
    if (view_ == nullptr) {
        view_ = new QWebEngineView(this);
        view_->setObjectName(QStringLiteral("HelpView"));
        // A page of our own from the start: the view never owns the one it shows.
        view_->setPage(ownPage(view_));
        static_cast<QVBoxLayout*>(layout())->addWidget(view_, 1);
        connect(view_, &QWebEngineView::loadFinished, this, &BrowserPage::fillListingForms);
    }
    return view_;
}

void BrowserPage::setAuctionPanel(AuctionPanel* panel)
{
    auction_ = panel;
    auction_->setParent(this);
    auction_->hide();
    static_cast<QVBoxLayout*>(layout())->insertWidget(0, auction_);
    connect(auction_, &AuctionPanel::listingPageRequested, this, [this](const QUrl& url) { view()->load(url); });
    connect(auction_, &AuctionPanel::previewRequested, this,
            [this](const QString& file) { view()->load(QUrl::fromLocalFile(file)); });
}

void BrowserPage::showAuction(const AuctionItem& item)
{
    caption_->hide();
    auction_->open(item);
    auction_->show();
    view();
}

void BrowserPage::fillListingForms(bool ok)
{
    if (!ok || auction_ == nullptr || auction_->isHidden()) {
        return;
    }
    const QString script = auction_->formScript();
    if (!script.isEmpty()) {
        view_->page()->runJavaScript(script);
    }
}

void BrowserPage::showFile(const std::string& path)
{
    if (auction_ != nullptr) {
        auction_->hide();
    }
    caption_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    caption_->setContentsMargins(6, 4, 6, 4);
    caption_->hide();
    loadFresh(QUrl::fromLocalFile(toQ(path)));
}

bool BrowserPage::showShop(const std::string& shopDir)
{
    if (server_ == nullptr) {
        server_ = new ShopServer(this);
    }
    if (!server_->serve(shopDir)) {
        return false;
    }
    if (auction_ != nullptr) {
        auction_->hide();
    }
    caption_->setText(toQ(ExcludeTrailingSlash(shopDir)));
    caption_->setToolTip(server_->indexUrl().toString());
    caption_->show();
    loadFresh(server_->indexUrl());
    return true;
}

} // namespace quillane::gui
