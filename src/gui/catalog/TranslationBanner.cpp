#include "gui/catalog/TranslationBanner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace quillane::gui {

TranslationBanner::TranslationBanner(QWidget* parent)
    : QFrame(parent), text_(new QLabel(this)), back_(new QPushButton(this)),
      textTemplate_(QStringLiteral("Übersetzung: Sie bearbeiten Gruppennamen und Beschreibungen auf # \u2014")),
      backTemplate_(QStringLiteral("zurück zu #"))
{
    setObjectName(QStringLiteral("TranslationBanner"));
    text_->setObjectName(QStringLiteral("TranslationBannerText"));
    back_->setObjectName(QStringLiteral("TranslationBack"));
    back_->setCursor(Qt::PointingHandCursor);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xff, 0xf1, 0xd6));
    pal.setColor(QPalette::WindowText, QColor(0x5a, 0x1a, 0x00));
    setPalette(pal);
    setFrameShape(QFrame::StyledPanel);
    QFont bold = text_->font();
    bold.setBold(true);
    text_->setFont(bold);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 3, 8, 3);
    layout->addWidget(text_);
    layout->addWidget(back_);
    layout->addStretch(1);
    connect(back_, &QPushButton::clicked, this, &TranslationBanner::backRequested);
    hide();
}

void TranslationBanner::setTexts(const QString& text, const QString& back)
{
    textTemplate_ = text;
    backTemplate_ = back;
    showTexts();
}

void TranslationBanner::setLanguages(const QString& catalogLanguage, const QString& homeLanguage)
{
    catalogLanguage_ = catalogLanguage;
    homeLanguage_ = homeLanguage;
    showTexts();
}

void TranslationBanner::showTexts()
{
    text_->setText(QString(textTemplate_).replace(QLatin1Char('#'), catalogLanguage_));
    back_->setText(QString(backTemplate_).replace(QLatin1Char('#'), homeLanguage_));
}

} // namespace quillane::gui
