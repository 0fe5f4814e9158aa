#include "gui/app/BrowserPage.h"

#include "core/common/Files.h"
#include "gui/app/ShopServer.h"
#include "gui/common/QtText.h"
#include "gui/listing/AuctionPanel.h"

#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace quillane::gui {

BrowserPage::BrowserPage(QWidget* parent) : QWidget(parent), caption_(new QLabel(this))
{
    setObjectName(QStringLiteral("HelpPage"));
    caption_->setObjectName(QStringLiteral("ShopCaption"));
    QFont bold = caption_->font();
    bold.setBold(true);
    caption_->setFont(bold);
    caption_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    caption_->setContentsMargins(6, 4, 6, 4);
    caption_->hide();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(caption_);
}

QWebEngineView* BrowserPage::view()
{
    if (view_ == nullptr) {
        view_ = new QWebEngineView(this);
        view_->setObjectName(QStringLiteral("HelpView"));
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
    view()->load(QUrl::fromLocalFile(toQ(path)));
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
    caption_->setText(toQ(ExcludeTrailingSlash(shopDir)).toUpper());
    caption_->show();
    view()->load(server_->indexUrl());
    return true;
}

} // namespace quillane::gui
