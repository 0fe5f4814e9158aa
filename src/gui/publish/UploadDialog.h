#pragma once

#include "core/publish/Upload.h"

#include <QDialog>

#include <stop_token>

class QCheckBox;
class QLabel;
class QPushButton;

namespace quillane {
class DialUpClient;
class Prompter;
} // namespace quillane

namespace quillane::gui {

struct AppState;
class ByteProgressBar;

// The upload dialog: sends the generated shop to the merchant's server and
// shows the progress of the current file and of the whole shop.
class UploadDialog : public QDialog {
    Q_OBJECT
public:
    // dialUp: the program's dial-up client, for the connection check.
    UploadDialog(AppState& state, Prompter& prompter, DialUpClient& dialUp, QWidget* parent = nullptr);

    // The open project, shown as "Projekt:".
    void setProjectName(const QString& name);
    // Reads the server settings afresh and shows host and folder.
    void InitFTP();
    // "Shop veröffentlichen": false when the shop did not arrive. A server
    // key the merchant accepts when asked is used at once, in the same click.
    bool publish();
    bool uploading() const { return uploading_; }

    // "Schließen": during an upload it is stopped first, and the dialog
    // closes when the transfer has ended.
    void reject() override;

Q_SIGNALS:
    // "FTP konfigurieren": the settings dialog on its basic page.
    void configureRequested();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    // Connects and sends; throws what the upload threw.
    UploadResult upload();
    UploadSink makeSink();
    void showStatus(const QString& text);
    void say(const Message& message);
    // The server showed a key nobody accepted: the merchant decides; true
    // when he accepted it and it is stored.
    bool askToTrust(const UnknownServerKey& unknown);

    AppState& state_;
    Prompter& prompter_;
    DialUpClient& dialUp_;
    FtpSettings settings_;
    std::stop_source stop_;
    bool uploading_ = false;
    bool closing_ = false;
    // Bytes of the files done, as the upload counts them; the file being
    // sent adds to it on the bar of the whole.
    std::int64_t shopDone_ = 0;

    QLabel* project_;
    QLabel* host_;
    QLabel* folder_;
    QLabel* status_;
    ByteProgressBar* fileBar_;
    ByteProgressBar* shopBar_;
    QCheckBox* changedOnly_;
    QPushButton* start_;
    QPushButton* configure_;
};

} // namespace quillane::gui
