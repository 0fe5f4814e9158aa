#include "gui/publish/UploadDialog.h"

#include "core/common/Error.h"
#include "core/common/Prompter.h"
#include "core/common/messages/PublishMessages.h"
#include "core/i18n/LanguageFile.h"
#include "core/online/WebConnect.h"
#include "gui/app/AppState.h"
#include "gui/common/BackgroundTask.h"
#include "gui/common/DialogParts.h"
#include "gui/common/Guarded.h"
#include "gui/common/HelpMark.h"
#include "gui/common/ObjectNames.h"
#include "gui/common/QtText.h"
#include "gui/common/Translator.h"
#include "gui/publish/ByteProgressBar.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace quillane::gui {

namespace {

QLabel* valueLabel(const char* name, QWidget* parent)
{
    auto* value = new QLabel(parent);
    value->setObjectName(QLatin1String(name));
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return value;
}

QPushButton* button(const QString& text, const char* name, const char* hint, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    setHint(b, hint);
    return b;
}

} // namespace

UploadDialog::UploadDialog(AppState& state, Prompter& prompter, DialUpClient& dialUp, QWidget* parent)
    : QDialog(parent), state_(state), prompter_(prompter), dialUp_(dialUp)
{
    setObjectName(QStringLiteral("UploadDialog"));
    setWindowTitle(QStringLiteral("Shop veröffentlichen"));
    setHint(this, "Actions|mShopPublizieren");
    // The shop must not change under the upload: the other windows wait.
    setWindowModality(Qt::ApplicationModal);

    project_ = valueLabel(names::kProjectNameLabel, this);
    host_ = valueLabel(names::kHostLabel, this);
    folder_ = valueLabel(names::kFolderLabel, this);
    auto* target = new QGridLayout;
    target->addWidget(hintedLabel(QStringLiteral("Projekt:"), "Project", this), 0, 0);
    target->addWidget(project_, 0, 1);
    target->addWidget(hintedLabel(QStringLiteral("Host:"), "Host", this), 1, 0);
    target->addWidget(host_, 1, 1);
    target->addWidget(hintedLabel(QStringLiteral("Ordner:"), "Folder", this), 2, 0);
    target->addWidget(folder_, 2, 1);
    target->setColumnStretch(1, 1);

    status_ = new QLabel(this);
    status_->setObjectName(QLatin1String(names::kUploadStatus));
    // A long path must not widen the dialog; it is shortened in the middle.
    status_->setMinimumWidth(1);
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    fileBar_ = new ByteProgressBar(this);
    fileBar_->setObjectName(QLatin1String(names::kFileProgressBar));
    shopBar_ = new ByteProgressBar(this);
    shopBar_->setObjectName(QLatin1String(names::kShopProgressBar));
    changedOnly_ = new QCheckBox(QStringLiteral("Nur geänderte Dateien senden"), this);
    changedOnly_->setObjectName(QLatin1String(names::kChangedOnlyBox));
    setHint(changedOnly_, "changedonly");

    configure_ = button(QStringLiteral("FTP konfigurieren"), names::kFtpConfigButton, "ftpconfig", this);
    start_ = button(QStringLiteral("Shop veröffentlichen"), names::kUploadButton, "publishshop", this);
    start_->setDefault(true);
    auto* close = button(QStringLiteral("Schließen"), names::kUploadCloseButton, "Schliessen", this);
    close->setAutoDefault(false);
    configure_->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(configure_);
    buttons->addStretch(1);
    buttons->addWidget(start_);
    buttons->addWidget(close);
    buttons->addWidget(new HelpMark(QStringLiteral("veroeffentlichen|upload"), this));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(target);
    layout->addSpacing(6);
    layout->addWidget(status_);
    auto* bars = new QGridLayout;
    QLabel* fileLabel = hintedLabel(QStringLiteral("Datei:"), "UploadFile", this);
    QLabel* shopLabel = hintedLabel(QStringLiteral("Gesamt:"), "UploadWhole", this);
    fileLabel->setBuddy(fileBar_);
    shopLabel->setBuddy(shopBar_);
    bars->addWidget(fileLabel, 0, 0);
    bars->addWidget(fileBar_, 0, 1);
    bars->addWidget(shopLabel, 1, 0);
    bars->addWidget(shopBar_, 1, 1);
    bars->setColumnStretch(1, 1);
    layout->addLayout(bars);
    layout->addWidget(changedOnly_);
    layout->addStretch(1);
    layout->addLayout(buttons);
    resize(480, minimumSizeHint().height());

    connect(start_, &QPushButton::clicked, this, &UploadDialog::publish);
    connect(close, &QPushButton::clicked, this, &UploadDialog::reject);
    connect(configure_, &QPushButton::clicked, this, &UploadDialog::configureRequested);
    connect(changedOnly_, &QCheckBox::clicked, this, [this](bool checked) {
        if (guarded(prompter_, [&] { SaveChangedOnly(state_.Dirs.ProgramDir, checked); })) {
            settings_.ChangedOnly = checked;
        } else {
            changedOnly_->setChecked(settings_.ChangedOnly);
        }
    });
}

void UploadDialog::setProjectName(const QString& name)
{
    project_->setText(name);
}

void UploadDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void UploadDialog::FormShow()
{
    closing_ = false;
    showStatus(QString());
    fileBar_->setTotal(0);
    shopBar_->setTotal(0);
    start_->setEnabled(true);
    configure_->setEnabled(true);
    InitFTP();
}

void UploadDialog::InitFTP()
{
    guarded(prompter_, [this] { settings_ = quillane::InitFTP(state_.Dirs.ProgramDir); });
    host_->setText(toQ(settings_.Host));
    folder_->setText(toQ(settings_.Folder));
    changedOnly_->setChecked(settings_.ChangedOnly);
}

bool UploadDialog::publish()
{
    if (uploading_) {
        return false;
    }
    // Not clicked twice while it runs; afterwards the merchant may send
    // again, after a fix in "FTP konfigurieren" as well.
    start_->setEnabled(false);
    configure_->setEnabled(false);
    bool sent = false;
    for (bool again = true; again && !sent;) {
        again = false;
        showStatus(QString());
        fileBar_->setTotal(0);
        uploading_ = true;
        std::exception_ptr failure;
        UploadResult result;
        try {
            result = upload();
        } catch (...) {
            failure = std::current_exception();
        }
        uploading_ = false;
        if (closing_) {
            // The merchant stopped it; he knows.
            start_->setEnabled(true);
            configure_->setEnabled(true);
            QDialog::reject();
            return false;
        }
        if (!failure) {
            const bool nothing = result.FilesSent == 0 && result.FilesUnchanged > 0;
            say(Message{nothing ? msg::UploadNothingChanged : msg::UploadFinished, {}});
            sent = true;
            break;
        }
        guarded(prompter_, [&] {
            try {
                std::rethrow_exception(failure);
            } catch (const UnknownServerKey& unknown) {
                again = askToTrust(unknown);
            }
        });
    }
    start_->setEnabled(true);
    configure_->setEnabled(true);
    return sent;
}

UploadResult UploadDialog::upload()
{
    const std::string shopDir = state_.Dirs.ShopDir;
    // The whole is known before anything is sent, so its bar only moves on.
    shopDone_ = 0;
    shopBar_->setTotal(GetProjectSize(shopDir));
    if (!WebConnect(state_.User, state_.Dirs.ProgramDir, state_.Texts.MsgBoxTexts[msgbox::kDialUp], dialUp_,
                    prompter_)) {
        throw Error(msg::UploadNoConnection, {settings_.Host});
    }
    stop_ = std::stop_source();
    if (closing_) {
        stop_.request_stop();
    }
    const FtpSettings settings = settings_;
    const UploadSink sink = makeSink();
    const std::stop_token stop = stop_.get_token();
    return BackgroundTask::Run([&](std::stop_token quitting) {
        // Ends also when the application quits.
        const std::stop_callback follow(quitting, [this] { stop_.request_stop(); });
        return UploadShop(shopDir, settings, sink, stop);
    });
}

// Told on the upload's thread, shown on the window's.
UploadSink UploadDialog::makeSink()
{
    UploadSink sink;
    sink.Status = [this](const Message& status) {
        QMetaObject::invokeMethod(
            this, [this, status] { say(status); }, Qt::QueuedConnection);
    };
    sink.FileStarted = [this](std::int64_t expected) {
        QMetaObject::invokeMethod(
            this, [this, expected] { fileBar_->setTotal(expected); }, Qt::QueuedConnection);
    };
    sink.FileProgress = [this](std::int64_t sent) {
        QMetaObject::invokeMethod(
            this,
            [this, sent] {
                fileBar_->setDone(sent);
                // Text files may go with more bytes than they hold; the
                // whole counts the file's own.
                shopBar_->setDone(shopDone_ + std::clamp<std::int64_t>(sent, 0, fileBar_->total()));
            },
            Qt::QueuedConnection);
    };
    sink.ShopProgress = [this](std::int64_t done, std::int64_t total) {
        QMetaObject::invokeMethod(
            this,
            [this, done, total] {
                if (total != shopBar_->total()) {
                    shopBar_->changeTotal(total);
                }
                shopDone_ = done;
                shopBar_->setDone(done);
            },
            Qt::QueuedConnection);
    };
    return sink;
}

void UploadDialog::showStatus(const QString& text)
{
    status_->setText(status_->fontMetrics().elidedText(text, Qt::ElideMiddle, status_->width()));
    status_->setToolTip(text);
}

void UploadDialog::say(const Message& message)
{
    showStatus(toQ(state_.Texts.Say(message)));
}

bool UploadDialog::askToTrust(const UnknownServerKey& unknown)
{
    const std::string question =
        state_.Texts.Say(Message{msg::UploadAcceptKey, {unknown.Said(), unknown.Target.Display()}});
    if (prompter_.Ask("Quillane", question, Prompter::Buttons::YesNo, Prompter::Icon::Warning) !=
        Prompter::Answer::Yes) {
        return false;
    }
    SaveTrustedKey(state_.Dirs.ProgramDir, unknown.Target, unknown.Key);
    settings_.TrustedKey = unknown.Key;
    return true;
}

void UploadDialog::reject()
{
    if (uploading_) {
        // The upload ends at its next progress; publish() then closes.
        closing_ = true;
        stop_.request_stop();
        return;
    }
    QDialog::reject();
}

} // namespace quillane::gui
