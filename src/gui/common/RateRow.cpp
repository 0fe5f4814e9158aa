#include "gui/common/RateRow.h"

#include "gui/common/DialogParts.h"
#include "gui/common/QtText.h"
#include "gui/common/Translator.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace quillane::gui {

RateRow::RateRow(const Names& names, const QString& equals, QWidget* parent) : QWidget(parent)
{
    currency_ = lineEdit(names.currency, this, 60);
    rate_ = lineEdit(names.rate, this, 90);
    rateCurrency_ = new QLabel(this);
    rateCurrency_->setObjectName(QStringLiteral("RateCurrency"));
    download_ = new QPushButton(QStringLiteral("Abrufen"), this);
    setHint(download_, "Abrufen");
    download_->setObjectName(QString::fromUtf8(names.download));
    layout_ = new QHBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->addWidget(currency_);
    layout_->addWidget(new QLabel(equals, this));
    layout_->addWidget(rate_);
    layout_->addWidget(rateCurrency_);
    layout_->addStretch(1);
    layout_->addWidget(download_);
    commaToPoint(rate_);
    connect(currency_, &QLineEdit::textChanged, rateCurrency_, &QLabel::setText);
}

void RateRow::addCaption(QLabel* caption)
{
    caption->setParent(this);
    layout_->insertWidget(0, caption);
}

void RateRow::setFieldsEnabled(bool enabled)
{
    for (QWidget* w : {static_cast<QWidget*>(currency_), static_cast<QWidget*>(rate_),
                       static_cast<QWidget*>(rateCurrency_), static_cast<QWidget*>(download_)}) {
        w->setEnabled(enabled);
    }
}

void RateRow::downloadRate(const Downloader& download, const QString& country, bool usableAfter)
{
    download_->setEnabled(false);
    const std::optional<std::string> rate = download(fromQ(country));
    download_->setEnabled(usableAfter);
    if (rate) {
        rate_->setText(toQ(*rate));
    }
}

} // namespace quillane::gui
