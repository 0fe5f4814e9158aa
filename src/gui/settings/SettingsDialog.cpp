#include "settings/SettingsDialog.h"

#include "common/Translator.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quillane::gui {

SettingsDialog::SettingsDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SettingsDialog"));
    setWindowTitle(QStringLiteral("Einstellungen"));
    resize(560, 460);

    pages_ = new QTabWidget(this);
    pages_->setObjectName(QStringLiteral("SettingsPages"));
    auto* general = new QWidget;
    general->setObjectName(QStringLiteral("GeneralPage"));
    setHint(general, "set_general");
    pages_->addTab(general, QStringLiteral("Grundeinstellungen"));
    auto* contact = new QWidget;
    contact->setObjectName(QStringLiteral("ContactPage"));
    setHint(contact, "set_shop_contact");
    pages_->addTab(contact, QStringLiteral("Kontaktdaten"));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    setHint(ok, "OK");
    auto* apply = new QPushButton(QStringLiteral("Anwenden"), this);
    apply->setObjectName(QStringLiteral("ApplyButton"));
    setHint(apply, "Anwenden");
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    setHint(cancel, "Abbrechen");
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(apply);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_, 1);
    layout->addLayout(buttons);
}

void SettingsDialog::showPage(int page)
{
    pages_->setCurrentIndex(page);
    show();
    raise();
    activateWindow();
}

} // namespace quillane::gui
