#include "gui/common/Translator.h"

#include "core/i18n/LanguageFile.h"
#include "core/settings/Country.h"
#include "gui/common/DecoratedLabel.h"
#include "gui/common/QtText.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QWidget>

namespace quillane::gui {

void setHint(QObject* control, const char* key)
{
    control->setProperty(kHintProperty, QString::fromUtf8(key));
}

QString hintOf(const QObject* control)
{
    return control->property(kHintProperty).toString();
}

namespace {

QString lookup(const LanguageFile& file, const char* section, const QString& key, const QString& current)
{
    return toQ(file.GetTranslation(section, fromQ(key), fromQ(current)));
}

void translateAction(QAction* action, const LanguageFile& file)
{
    if (action->objectName().isEmpty()) {
        return;
    }
    const QString caption = lookup(file, "Actions", action->objectName(), action->text());
    action->setText(caption);
    QString plain = caption;
    plain.remove(QLatin1Char('&'));
    action->setToolTip(plain);
    action->setStatusTip(plain);
}

// A page of a tab widget: its caption is the tab's text.
void translatePage(QWidget* page, const QString& hint, const LanguageFile& file)
{
    auto* stack = qobject_cast<QStackedWidget*>(page->parentWidget());
    auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
    if (tabs == nullptr) {
        return;
    }
    const int index = tabs->indexOf(page);
    if (index >= 0) {
        tabs->setTabText(index, lookup(file, "Misc", hint, tabs->tabText(index)));
    }
}

void translateControl(QObject* object, const LanguageFile& file, const TCountry& country)
{
    if (auto* action = qobject_cast<QAction*>(object)) {
        translateAction(action, file);
        return;
    }
    const QString hint = hintOf(object);
    if (auto* window = qobject_cast<QWidget*>(object); window != nullptr && window->isWindow() && !hint.isEmpty()) {
        // A window is named like the menu entry that opens it, without its
        // mnemonic and its "...".
        // What follows " - " names what the window shows (a file) and stays.
        const QString current = window->windowTitle();
        const int dash = current.indexOf(QStringLiteral(" - "));
        QString title = lookup(file, "Misc", hint, dash >= 0 ? current.left(dash) : current);
        title.remove(QLatin1Char('&'));
        while (title.endsWith(QLatin1Char('.'))) {
            title.chop(1);
        }
        window->setWindowTitle(title.trimmed() + (dash >= 0 ? current.mid(dash) : QString()));
        return;
    }
    if (auto* decorated = qobject_cast<DecoratedLabel*>(object)) {
        if (!hint.isEmpty()) {
            decorated->setText(lookup(file, "Labels", hint, decorated->text()));
        }
        return;
    }
    if (auto* label = qobject_cast<QLabel*>(object)) {
        const QString current = label->text();
        const QString suffix = current.indexOf(QLatin1Char(':')) >= 1 ? QStringLiteral(":") : QString();
        if (!hint.isEmpty()) {
            label->setText(lookup(file, "Labels", hint, current) + suffix);
        }
        if (hint == QLatin1String("Geld")) {
            label->setText(toQ(country.Currency[0]));
        }
        return;
    }
    if (hint.isEmpty()) {
        return;
    }
    if (auto* check = qobject_cast<QCheckBox*>(object)) {
        check->setText(lookup(file, "Misc", hint, check->text()));
    } else if (qobject_cast<QRadioButton*>(object)) {
        // radio buttons keep their text
    } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
        button->setText(lookup(file, "Buttons", hint, button->text()));
    } else if (auto* combo = qobject_cast<QComboBox*>(object)) {
        // "Section|key|key...": the entries' texts, one key each, in order.
        const QStringList parts = hint.split(QLatin1Char('|'));
        const QByteArray section = parts[0].toUtf8();
        for (int i = 1; i < parts.size() && i <= combo->count(); ++i) {
            combo->setItemText(i - 1, lookup(file, section.constData(), parts[i], combo->itemText(i - 1)));
        }
    } else if (auto* group = qobject_cast<QGroupBox*>(object)) {
        group->setTitle(lookup(file, "Misc", hint, group->title()));
    } else if (auto* widget = qobject_cast<QWidget*>(object)) {
        translatePage(widget, hint, file);
    }
}

} // namespace

void translateWindows(const QList<QWidget*>& windows, const LanguageFile& file, const TCountry& country)
{
    for (QWidget* window : windows) {
        translateControl(window, file, country);
        const auto children = window->findChildren<QObject*>();
        for (QObject* child : children) {
            translateControl(child, file, country);
        }
    }
}

} // namespace quillane::gui
