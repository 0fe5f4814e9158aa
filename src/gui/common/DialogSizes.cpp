#include "gui/common/DialogSizes.h"

#include "core/common/Error.h"
#include "core/common/IniFile.h"
#include "gui/common/QtText.h"

#include <QEvent>
#include <QTimer>
#include <QVariant>
#include <QWidget>

namespace quillane::gui {

namespace {
constexpr const char* kSection = "Dialogs";
constexpr const char* kOpenedSize = "quillaneOpenedSize";
} // namespace

DialogSizes::DialogSizes(std::string settingsFile, QObject* parent)
    : QObject(parent), settingsFile_(std::move(settingsFile))
{
}

void DialogSizes::watch(QWidget* dialog)
{
    dialog->installEventFilter(this);
}

bool DialogSizes::eventFilter(QObject* watched, QEvent* event)
{
    auto* dialog = qobject_cast<QWidget*>(watched);
    if (dialog != nullptr && dialog->isWindow()) {
        if (event->type() == QEvent::Show) {
            // After the dialog's own show handler, which lays it out for its state.
            QTimer::singleShot(0, dialog, [this, dialog] { restore(dialog); });
        } else if (event->type() == QEvent::Hide) {
            store(dialog);
        }
    }
    return QObject::eventFilter(watched, event);
}

void DialogSizes::restore(QWidget* dialog)
{
    QSize size = dialog->size();
    try {
        const QStringList parts =
            toQ(IniFile(settingsFile_).ReadString(kSection, fromQ(dialog->objectName()), "")).split(QLatin1Char('x'));
        if (parts.size() == 2 && parts[0].toInt() > 0 && parts[1].toInt() > 0) {
            size = QSize(parts[0].toInt(), parts[1].toInt());
        }
    } catch (const Error&) {
        // An unreadable settings file leaves the dialog at its own size.
    }
    size = size.expandedTo(dialog->minimumSizeHint()).expandedTo(dialog->minimumSize());
    if (size != dialog->size()) {
        dialog->resize(size);
    }
    dialog->setProperty(kOpenedSize, size);
}

void DialogSizes::store(const QWidget* dialog)
{
    // Only a size the merchant chose is worth keeping.
    if (dialog->property(kOpenedSize).toSize() == dialog->size()) {
        return;
    }
    try {
        IniFile settings(settingsFile_);
        settings.WriteString(kSection, fromQ(dialog->objectName()),
                             fromQ(QStringLiteral("%1x%2").arg(dialog->width()).arg(dialog->height())));
        settings.UpdateFile();
    } catch (const Error&) {
        // The size is a convenience: a settings file that cannot be written keeps its old one.
    }
}

} // namespace quillane::gui
