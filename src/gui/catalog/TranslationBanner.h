#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

namespace quillane::gui {

// The strip over the catalog page while translation mode is on: it says
// which language's names and descriptions are being edited and offers the
// way back to the home language.
class TranslationBanner : public QFrame {
    Q_OBJECT
public:
    explicit TranslationBanner(QWidget* parent = nullptr);

    // text and back come from the language file, each with "#" where the
    // language's name goes.
    void setTexts(const QString& text, const QString& back);
    void setLanguages(const QString& catalogLanguage, const QString& homeLanguage);

Q_SIGNALS:
    void backRequested();

private:
    void showTexts();

    QLabel* text_;
    QPushButton* back_;
    QString textTemplate_;
    QString backTemplate_;
    QString catalogLanguage_;
    QString homeLanguage_;
};

} // namespace quillane::gui
