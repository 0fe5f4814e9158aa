#pragma once

#include "core/import/ImportChoices.h"
#include "core/import/ImportGrid.h"
#include "core/import/PriceUpdate.h"

#include <QDialog>

#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;
class QTableWidget;

namespace quillane {
class Prompter;
}

namespace quillane::gui {

class ClickableLabel;
class ImportGridModel;
struct AppState;

// The import dialog: an import file shown as a grid, the columns that hold
// group, name, order number and price, the group to import into, and the
// import, the price update, the removal of discontinued items and taking
// the last of them back. All of it is done by the core; the dialog reads
// its controls and shows what came back.
class ImportDialog : public QDialog {
    Q_OBJECT
public:
    ImportDialog(AppState& state, Prompter& prompter, QWidget* parent = nullptr);
    ~ImportDialog() override;

    // "Importieren": asks for a file in the import folder and, when one is
    // chosen, shows the dialog with it.
    void chooseFile(QWidget* parent);
    // Loads a file into the grid; a file that cannot be read is reported
    // and leaves the dialog as it was. False then.
    bool OpenImportFile(const QString& path);

    // "Artikel importieren": the import, or the price update when ticked.
    void ImportClick();
    // "Artikel entfernen": the selected discontinued items leave the catalog.
    void RemoveClick();
    // "Import zurücknehmen".
    void UndoClick();
    // Follows the price entry mode.
    void updatePriceCaption();

Q_SIGNALS:
    // The catalog was written: the tree and the list must be drawn again.
    void catalogChanged();
    // The price caption was clicked: the entry mode changed.
    void priceEntryModeChanged();

public Q_SLOTS:
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildChoices();
    void fillColumnSelectors();
    void fillMainGroups();
    void mainGroupChosen();
    void columnChosen();
    void updateCaptions();
    void PreisClick();
    ImportChoices currentChoices() const;
    bool confirmImport(const ImportChoices& choices);
    bool confirmPriceUpdate(const ImportChoices& choices);
    // The skipped rows and the price column's reading, as the previews list them.
    QString skippedLines(const std::vector<SkippedRow>& skipped, const PriceColumnReading& prices) const;
    void runImport(const ImportChoices& choices);
    void runPriceUpdate(const ImportChoices& choices);
    // Ticks the header box when the first row heads the columns.
    void detectHeaderRow();
    // Only order number and price take part in a price update.
    void followPriceUpdate();
    void showDiscontinued();
    // After an operation: the tree and the list follow, the undo button too.
    void afterChange();
    void clearAll();
    void setProgress(std::size_t done, std::size_t total);

    AppState& state_;
    Prompter& prompter_;
    ImportGrid grid_;
    // The grid as loaded, before a price update took rows out: its first
    // row names the layout the column choices are remembered under.
    ImportGrid layoutRow_;
    std::vector<DiscontinuedItem> discontinued_;
    // The dialog as it was before the last operation, which an undo brings back with the catalog.
    struct Before {
        ImportGrid Grid;
        std::vector<DiscontinuedItem> Discontinued;
        bool DiscontinuedShown = false;
        bool ColumnsEnabled = false;
        bool PriceUpdateEnabled = false;
        bool Kept = false; // an operation on the file shown now was done
    };
    Before before_;
    void keepBefore();
    void restoreBefore();
    ImportGridModel* model_;

    QComboBox* columns_[4];
    QLabel* captions_[3];
    ClickableLabel* priceCaption_;
    QComboBox* mainGroup_;
    QComboBox* subGroup_;
    QCheckBox* priceUpdate_;
    QCheckBox* gross_;
    QCheckBox* headerRow_;
    QLabel* recalled_;
    QLabel* newItemsHeading_;
    QTableView* fileGrid_;
    QLabel* oldItemsHeading_;
    QTableWidget* discontinuedGrid_;
    QProgressBar* progress_;
    QPushButton* import_;
    QPushButton* remove_;
    QPushButton* undo_;
    QPushButton* close_;
};

} // namespace quillane::gui
