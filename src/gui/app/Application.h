#pragma once

#include "gui/app/AppState.h"

#include <QObject>
#include <memory>
#include <optional>
#include <string>

namespace quillane {
class DialUpClient;
class HttpClient;
class Prompter;
} // namespace quillane

namespace quillane::gui {

class AboutWindow;
class HelpWindow;
class MessageBoxPrompter;
class MainWindow;
class SettingsDialog;
class ShopProfileDialog;
class GenerationDialog;
class UploadDialog;
class ImportDialog;

// Program entry: creates the windows in their order, shows the splash,
// starts the main window and closes the splash when start-up is done.
class Application : public QObject {
    Q_OBJECT
public:
    // prompter: who answers the program's questions; message boxes by default.
    explicit Application(const std::string& programDir, Prompter* prompter = nullptr);
    ~Application() override;

    // Runs the start-up up to the message loop.
    void start();

    AppState& state() { return state_; }
    MainWindow* mainWindow() const { return main_.get(); }
    AboutWindow* aboutWindow() const { return about_.get(); }
    SettingsDialog* settingsDialog() const { return settings_.get(); }
    HelpWindow* helpWindow() const { return help_; }
    ShopProfileDialog* shopProfileDialog() const { return shopProfile_.get(); }
    GenerationDialog* generationDialog() const { return generation_.get(); }
    UploadDialog* uploadDialog() const { return upload_.get(); }
    ImportDialog* importDialog() const { return import_.get(); }

    // How long the splash stays in the normal state.
    static constexpr int kSplashMilliseconds = 1000;

private:
    // Asks the configured service for the rate of a country's currency.
    std::optional<std::string> downloadRate(const std::string& country);

    AppState state_;
    std::unique_ptr<MessageBoxPrompter> ownPrompter_;
    Prompter* prompter_ = nullptr;
    // The program's one HTTP client and its dial-up connection.
    std::unique_ptr<HttpClient> http_;
    std::unique_ptr<DialUpClient> dialUp_;
    std::unique_ptr<MainWindow> main_;
    std::unique_ptr<AboutWindow> about_;
    std::unique_ptr<SettingsDialog> settings_;
    HelpWindow* help_ = nullptr; // owned by the main window
    std::unique_ptr<GenerationDialog> generation_;
    std::unique_ptr<ShopProfileDialog> shopProfile_;
    std::unique_ptr<UploadDialog> upload_;
    std::unique_ptr<ImportDialog> import_;
};

} // namespace quillane::gui
