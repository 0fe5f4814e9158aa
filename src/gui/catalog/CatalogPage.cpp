#include "gui/catalog/CatalogPage.h"

#include "gui/catalog/GroupPanel.h"
#include "gui/catalog/ItemPanel.h"
#include "gui/catalog/TranslationBanner.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace quillane::gui {

CatalogPage::CatalogPage(AppState& state, Prompter& prompter, GroupOps& groupOps, ItemOps& itemOps, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("CatalogPage"));
    setAutoFillBackground(true);
    groups_ = new GroupPanel(state, prompter, groupOps, this);
    groups_->setFixedWidth(250);
    items_ = new ItemPanel(state, prompter, itemOps, this);
    // The panels keep a light colour of their own; only the page's frame
    // shows the mode. Disabled captions must stay readable on it.
    for (QWidget* panel : {static_cast<QWidget*>(groups_), static_cast<QWidget*>(items_)}) {
        QPalette pal = panel->palette();
        pal.setColor(QPalette::Window, QColor(0xf2, 0xf2, 0xf2));
        pal.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
        pal.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
        panel->setAutoFillBackground(true);
        panel->setPalette(pal);
    }

    banner_ = new TranslationBanner(this);
    auto* panels = new QHBoxLayout;
    panels->addWidget(groups_);
    panels->addWidget(items_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(banner_);
    layout->addLayout(panels, 1);

    connect(groups_, &GroupPanel::groupChosen, items_, &ItemPanel::showChosenGroup);
    connect(groups_, &GroupPanel::structureChanged, items_, [this] { items_->ClearFields(); });
    FormResize(false);
}

void CatalogPage::FormResize(bool translationMode)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, translationMode ? QColor(192, 0, 0) : QColor(192, 192, 192));
    setPalette(pal);
    banner_->setVisible(translationMode);
    groups_->setTranslationMode(translationMode);
    items_->setTranslationMode(translationMode);
}

} // namespace quillane::gui
