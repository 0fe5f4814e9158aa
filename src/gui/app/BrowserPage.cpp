#include "gui/app/BrowserPage.h"

#include "core/common/Files.h"
#include "gui/app/ShopServer.h"
#include "gui/common/QtText.h"

#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>
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
    }
    return view_;
}

void BrowserPage::showFile(const std::string& path)
{
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
    caption_->setText(toQ(ExcludeTrailingSlash(shopDir)).toUpper());
    caption_->show();
    view()->load(server_->indexUrl());
    return true;
}

} // namespace quillane::gui
