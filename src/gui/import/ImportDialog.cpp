#include "gui/import/ImportDialog.h"

#include "core/catalog/CatalogStore.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/common/Prompter.h"
#include "core/i18n/LanguageFile.h"
#include "core/import/ImportFile.h"
#include "core/import/ImportLayouts.h"
#include "core/import/ImportRules.h"
#include "core/import/ImportUndo.h"
#include "core/import/ProductImport.h"
#include "core/settings/UserData.h"
#include "gui/app/AppState.h"
#include "gui/common/ClickableLabel.h"
#include "gui/common/DialogParts.h"
#include "gui/common/Guarded.h"
#include "gui/common/HelpMark.h"
#include "gui/common/QtText.h"
#include "gui/common/Translator.h"
#include "gui/import/ImportGridModel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace quillane::gui {

namespace {

enum Field { GroupField, NameField, OrderNoField, PriceField };

const char* const kColumnNames[] = {"GroupColumn", "NameColumn", "OrderNoColumn", "PriceColumn"};
// So many skipped rows are named in the question; the rest are counted.
constexpr std::size_t kSkippedShown = 15;

// A text of the dialog's own section of the language file; %1... filled in.
QString word(const AppState& state, const char* key, const char* fallback)
{
    const LanguageFile file(state.Dirs.LanguageDir, state.User.Country.Language);
    return toQ(file.GetTranslation("Import", key, fallback));
}

QString lines(const QString& text)
{
    QString out = text;
    return out.replace(QLatin1Char('|'), QLatin1Char('\n'));
}

std::size_t chosenColumn(const QComboBox* box)
{
    return box->currentIndex() < 0 ? ImportColumns::kUnset : static_cast<std::size_t>(box->currentIndex());
}

} // namespace

ImportDialog::ImportDialog(AppState& state, Prompter& prompter, QWidget* parent)
    : QDialog(parent), state_(state), prompter_(prompter)
{
    setObjectName(QStringLiteral("ImportDialog"));
    setWindowTitle(QStringLiteral("Importieren"));
    setHint(this, "Actions|mImportieren");
    resize(900, 640);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildChoices());

    newItemsHeading_ = hintedLabel(QStringLiteral("Hinzukommende Artikel"), "newitems", this);
    newItemsHeading_->setObjectName(QStringLiteral("NewItemsHeading"));
    layout->addWidget(newItemsHeading_);
    model_ = new ImportGridModel(this);
    fileGrid_ = new QTableView(this);
    fileGrid_->setObjectName(QStringLiteral("FileGrid"));
    fileGrid_->setModel(model_);
    fileGrid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    fileGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Rows of one height need no measuring: a large file opens at once.
    fileGrid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    fileGrid_->verticalHeader()->setDefaultSectionSize(fileGrid_->fontMetrics().height() + 6);
    fileGrid_->horizontalHeader()->setResizeContentsPrecision(200);
    layout->addWidget(fileGrid_, 3);

    oldItemsHeading_ = hintedLabel(QStringLiteral("Ausgelaufene Artikel"), "olditems", this);
    oldItemsHeading_->setObjectName(QStringLiteral("OldItemsHeading"));
    layout->addWidget(oldItemsHeading_);
    discontinuedGrid_ = new QTableWidget(0, 4, this);
    discontinuedGrid_->setObjectName(QStringLiteral("DiscontinuedGrid"));
    discontinuedGrid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    discontinuedGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const int widths[] = {150, 250, 75, 75};
    discontinuedGrid_->setHorizontalHeaderLabels({QString(), QString(), QString(), QString()});
    for (int c = 0; c < 4; ++c) {
        discontinuedGrid_->setColumnWidth(c, widths[c]);
    }
    discontinuedGrid_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(discontinuedGrid_, 2);

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("ImportProgress"));
    progress_->setTextVisible(false);
    layout->addWidget(progress_);

    auto* buttons = new QHBoxLayout;
    auto button = [this, buttons](const QString& text, const char* name, const char* hint) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromUtf8(name));
        setHint(b, hint);
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    import_ = button(QStringLiteral("Artikel importieren"), "ImportButton", "Import");
    remove_ = button(QStringLiteral("Artikel entfernen"), "RemoveButton", "Delete");
    undo_ = button(QStringLiteral("Import zurücknehmen"), "UndoButton", "Undoimport");
    buttons->addStretch(1);
    close_ = button(QStringLiteral("Schließen"), "CloseButton", "Schliessen");
    auto* help = new HelpMark(QStringLiteral("importfilter|update"), this);
    buttons->addWidget(help);
    layout->addLayout(buttons);

    connect(import_, &QPushButton::clicked, this, &ImportDialog::ImportClick);
    connect(remove_, &QPushButton::clicked, this, &ImportDialog::RemoveClick);
    connect(undo_, &QPushButton::clicked, this, &ImportDialog::UndoClick);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    connect(fileGrid_, &QTableView::pressed, this, [this] {
        import_->setEnabled(!grid_.Rows.empty());
        remove_->setEnabled(false);
    });
    connect(discontinuedGrid_, &QTableWidget::itemPressed, this, [this] {
        remove_->setEnabled(discontinuedGrid_->rowCount() > 0);
        import_->setEnabled(false);
    });
    clearAll();
}

ImportDialog::~ImportDialog() = default;

QWidget* ImportDialog::buildChoices()
{
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    const char* hints[] = {"Produktgrp", "Bezeichnung", "BestNr"};
    const char* texts[] = {"Produktgruppe:", "Bezeichnung:", "Best.-Nr.:"};
    for (int f = 0; f < 4; ++f) {
        columns_[f] = new QComboBox(box);
        columns_[f]->setObjectName(QString::fromUtf8(kColumnNames[f]));
        columns_[f]->setMinimumContentsLength(14);
        connect(columns_[f], &QComboBox::activated, this, &ImportDialog::columnChosen);
        if (f < PriceField) {
            captions_[f] = hintedLabel(QString::fromUtf8(texts[f]), hints[f], box);
            grid->addWidget(captions_[f], f, 0);
        }
        grid->addWidget(columns_[f], f, 1);
    }
    priceCaption_ = new ClickableLabel(QStringLiteral("Preis (netto):"), box);
    priceCaption_->setObjectName(QStringLiteral("ImportPriceCaption"));
    priceCaption_->setCursor(Qt::PointingHandCursor);
    connect(priceCaption_, &ClickableLabel::clicked, this, &ImportDialog::PreisClick);
    grid->addWidget(priceCaption_, PriceField, 0);
    // The caption's click is easily missed: the choice stands beside the column too.
    gross_ = new QCheckBox(QStringLiteral("Brutto"), box);
    gross_->setObjectName(QStringLiteral("GrossPriceBox"));
    setHint(gross_, "GrossPrices");
    connect(gross_, &QCheckBox::clicked, this, [this](bool checked) {
        if (checked != (state_.PriceEntryMode == PriceEntry::Gross)) {
            PreisClick();
        }
    });
    grid->addWidget(gross_, PriceField, 2);

    mainGroup_ = new QComboBox(box);
    mainGroup_->setObjectName(QStringLiteral("MainGroupTarget"));
    mainGroup_->setMinimumContentsLength(20);
    connect(mainGroup_, &QComboBox::activated, this, &ImportDialog::mainGroupChosen);
    subGroup_ = new QComboBox(box);
    subGroup_->setObjectName(QStringLiteral("SubGroupTarget"));
    subGroup_->setMinimumContentsLength(20);
    priceUpdate_ = new QCheckBox(QStringLiteral("Nur Preise aktualisieren"), box);
    priceUpdate_->setObjectName(QStringLiteral("PriceUpdateBox"));
    setHint(priceUpdate_, "PriceUpdate");
    connect(priceUpdate_, &QCheckBox::toggled, this, &ImportDialog::followPriceUpdate);
    headerRow_ = new QCheckBox(QStringLiteral("erste Zeile ist Überschrift"), box);
    headerRow_->setObjectName(QStringLiteral("HeaderRowBox"));
    setHint(headerRow_, "HeaderRow");
    recalled_ = new QLabel(box);
    recalled_->setObjectName(QStringLiteral("RecalledColumns"));
    recalled_->setWordWrap(true);
    grid->addWidget(mainGroup_, 0, 3);
    grid->addWidget(subGroup_, 1, 3);
    grid->addWidget(priceUpdate_, 2, 3);
    grid->addWidget(headerRow_, 3, 3);
    grid->addWidget(recalled_, 4, 0, 1, 5);
    grid->setColumnMinimumWidth(2, 24);
    grid->setColumnStretch(4, 1);
    return box;
}

void ImportDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    updatePriceCaption();
}

void ImportDialog::chooseFile(QWidget* parent)
{
    std::string folder = IniFile(SettingsFilePath(state_.Dirs.ProgramDir)).ReadString("Folders", "Import", "");
    if (folder.empty()) {
        folder = ShellFolderPath("Personal");
    }
    const QString filter = QStringLiteral("Excel (*.xls *.xlsx);;OpenDocument (*.ods);;Text (*.txt *.csv);;Alle (*)");
    const QString path = QFileDialog::getOpenFileName(parent, QString(), toQ(folder), filter);
    if (path.isEmpty()) {
        return;
    }
    show();
    raise();
    if (OpenImportFile(path)) {
        guarded(prompter_, [&] {
            IniFile settings = OpenSettingsFile(state_.Dirs.ProgramDir);
            settings.WriteString("Folders", "Import", fromQ(QFileInfo(path).absolutePath() + QLatin1Char('/')));
            settings.UpdateFile();
        });
    }
}

bool ImportDialog::OpenImportFile(const QString& path)
{
    ImportGrid loaded;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool read = guarded(prompter_, [&] { loaded = ReadImportFile(fromQ(path)); });
    QApplication::restoreOverrideCursor();
    if (!read) {
        return false;
    }
    clearAll();
    grid_ = std::move(loaded);
    layoutRow_.Rows.assign(grid_.Rows.begin(), grid_.Rows.begin() + std::min<std::size_t>(1, grid_.Rows.size()));
    model_->setGrid(&grid_);
    fileGrid_->resizeColumnsToContents();
    fillColumnSelectors();
    fillMainGroups();
    const bool hasGroups = !state_.Store.GroupMap.empty();
    mainGroup_->setEnabled(hasGroups);
    subGroup_->setEnabled(false);
    priceUpdate_->setEnabled(hasGroups);
    import_->setEnabled(!grid_.Rows.empty());
    // Another file does not end the chance to take the last import back.
    undo_->setEnabled(ImportUndoAvailable(state_.Store));

    // A file laid out as an earlier one gets the columns chosen then.
    std::optional<ImportColumns> recalled;
    static_cast<void>(guarded(prompter_, [&] { recalled = RecallColumns(state_.Dirs.ProgramDir, grid_); }));
    if (recalled) {
        const std::size_t chosen[] = {recalled->Group, recalled->Name, recalled->OrderNo, recalled->Price};
        for (int f = 0; f < 4; ++f) {
            if (chosen[f] < static_cast<std::size_t>(columns_[f]->count())) {
                columns_[f]->setCurrentIndex(static_cast<int>(chosen[f]));
            }
        }
        recalled_->setText(word(state_, "Recalled", "Columns chosen as for the last file laid out like this one."));
        updateCaptions();
    }
    detectHeaderRow();
    setWindowTitle(windowTitle().section(QStringLiteral(" - "), 0, 0) + QStringLiteral(" - ") +
                   QFileInfo(path).fileName());
    return true;
}

void ImportDialog::fillColumnSelectors()
{
    const QString column = toQ(state_.Texts.ComboTexts[0]);
    const QString unset = toQ(state_.Texts.ComboTexts[1]);
    const std::vector<std::string> letters = grid_.ColumnLetters();
    for (QComboBox* box : columns_) {
        box->clear();
        for (const std::string& letter : letters) {
            box->addItem(column + QLatin1Char(' ') + toQ(letter));
        }
        box->setPlaceholderText(unset);
        box->setCurrentIndex(-1);
        box->setEnabled(true);
    }
}

void ImportDialog::fillMainGroups()
{
    QStringList names;
    for (const IniLine& line : state_.Store.GroupMap) {
        names << toQ(line.first);
    }
    names.sort(Qt::CaseInsensitive);
    mainGroup_->clear();
    mainGroup_->addItem(toQ(state_.Texts.ComboTexts[2]));
    mainGroup_->addItems(names);
    subGroup_->clear();
    subGroup_->addItem(toQ(state_.Texts.ComboTexts[3]));
}

void ImportDialog::mainGroupChosen()
{
    subGroup_->clear();
    subGroup_->addItem(toQ(state_.Texts.ComboTexts[3]));
    const std::string main = mainGroup_->currentIndex() > 0 ? fromQ(mainGroup_->currentText()) : std::string();
    subGroup_->setEnabled(!main.empty());
    if (main.empty()) {
        return;
    }
    QStringList subs;
    for (const IniLine& line : state_.Store.GroupMap) {
        if (line.first == main && line.second != "0") {
            for (const QString& sub : toQ(line.second).split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
                subs << sub;
            }
        }
    }
    subs.sort(Qt::CaseInsensitive);
    subGroup_->addItems(subs);
}

void ImportDialog::detectHeaderRow()
{
    const std::size_t price = chosenColumn(columns_[PriceField]);
    if (price != ImportColumns::kUnset) {
        headerRow_->setChecked(HasHeaderRow(grid_, price));
        return;
    }
    // Before the price column is chosen: a first row without any digit, over rows that have some.
    bool below = false;
    for (std::size_t c = 0; c < grid_.ColumnCount() && !below; ++c) {
        below = HasHeaderRow(grid_, c);
    }
    const auto hasDigit = [](const std::string& cell) {
        return std::any_of(cell.begin(), cell.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
    };
    const bool firstHasDigits =
        !grid_.Rows.empty() && std::any_of(grid_.Rows.front().Cells.begin(), grid_.Rows.front().Cells.end(), hasDigit);
    headerRow_->setChecked(below && !firstHasDigits);
}

void ImportDialog::followPriceUpdate()
{
    const bool update = priceUpdate_->isChecked();
    for (const Field f : {GroupField, NameField}) {
        columns_[f]->setEnabled(!update && columns_[OrderNoField]->isEnabled());
        captions_[f]->setEnabled(!update);
    }
    mainGroup_->setEnabled(!update && !state_.Store.GroupMap.empty());
    subGroup_->setEnabled(!update && mainGroup_->currentIndex() > 0);
}

void ImportDialog::columnChosen()
{
    if (sender() == columns_[PriceField]) {
        detectHeaderRow();
    }
    updateCaptions();
    mainGroup_->setCurrentIndex(0);
    mainGroupChosen();
}

void ImportDialog::updateCaptions()
{
    QStringList captions(static_cast<qsizetype>(grid_.ColumnCount()));
    for (int f = 0; f < 4; ++f) {
        const int column = columns_[f]->currentIndex();
        if (column < 0 || column >= captions.size()) {
            continue;
        }
        captions[column] = f == PriceField ? priceCaption_->text().section(QLatin1Char(' '), 0, 0)
                                           : captions_[f]->text().chopped(captions_[f]->text().isEmpty() ? 0 : 1);
    }
    model_->setCaptions(captions);
    // A caption is wider than the letter it replaces.
    fileGrid_->resizeColumnsToContents();
}

void ImportDialog::updatePriceCaption()
{
    priceCaption_->setText(toQ(state_.Texts.PriceCaptions[state_.PriceEntryMode == PriceEntry::Gross ? 0 : 1]));
    gross_->setChecked(state_.PriceEntryMode == PriceEntry::Gross);
    const QString price = priceCaption_->text();
    for (int c = 0; c < 4; ++c) {
        discontinuedGrid_->horizontalHeaderItem(c)->setText(c == PriceField ? price : captions_[c]->text());
    }
    updateCaptions();
}

void ImportDialog::PreisClick()
{
    state_.PriceEntryMode = state_.PriceEntryMode == PriceEntry::Net ? PriceEntry::Gross : PriceEntry::Net;
    updatePriceCaption();
    Q_EMIT priceEntryModeChanged();
}

ImportChoices ImportDialog::currentChoices() const
{
    ImportChoices choices;
    choices.Columns.Group = chosenColumn(columns_[GroupField]);
    choices.Columns.Name = chosenColumn(columns_[NameField]);
    choices.Columns.OrderNo = chosenColumn(columns_[OrderNoField]);
    choices.Columns.Price = chosenColumn(columns_[PriceField]);
    if (mainGroup_->currentIndex() > 0) {
        choices.MainGroup = fromQ(mainGroup_->currentText());
        if (subGroup_->currentIndex() > 0) {
            choices.SubGroup = fromQ(subGroup_->currentText());
        }
    }
    choices.PriceEntryMode = state_.PriceEntryMode;
    choices.HeaderRow = headerRow_->isChecked();
    // A block of more than one row limits the operation to that block.
    const QItemSelection selection = fileGrid_->selectionModel()->selection();
    if (selection.size() == 1 && selection.first().height() > 1) {
        choices.FirstRow = static_cast<std::size_t>(selection.first().top());
        choices.LastRow = static_cast<std::size_t>(selection.first().bottom());
    }
    return choices;
}

void ImportDialog::ImportClick()
{
    const ImportChoices choices = currentChoices();
    const bool update = priceUpdate_->isChecked();
    const ImportColumns& c = choices.Columns;
    if (update && (c.OrderNo == ImportColumns::kUnset || c.Price == ImportColumns::kUnset)) {
        prompter_.Tell("Quillane", fromQ(lines(word(state_, "UpdateColumns",
                                                    "Please choose the columns of order number and price."))));
        return;
    }
    if (!update && !c.Complete()) {
        prompter_.Tell("Quillane", MessageLines(state_.Texts.MsgBoxTexts[8]));
        return;
    }
    if (update ? !confirmPriceUpdate(choices) : !confirmImport(choices)) {
        return;
    }
    static_cast<void>(
        guarded(prompter_, [&] { RememberColumns(state_.Dirs.ProgramDir, layoutRow_, choices.Columns); }));
    keepBefore();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (update) {
        runPriceUpdate(choices);
    } else {
        runImport(choices);
    }
    QApplication::restoreOverrideCursor();
}

bool ImportDialog::confirmImport(const ImportChoices& choices)
{
    ImportResult preview;
    if (!guarded(prompter_, [&] { preview = PreviewImport(state_.Store, grid_, choices, state_.User.Country); })) {
        return false;
    }
    QString text = lines(word(state_, "Preview", "New items: %1|Items replaced: %2|Rows skipped: %3"))
                       .arg(preview.Added)
                       .arg(preview.Replaced)
                       .arg(preview.Skipped.size());
    text += skippedLines(preview.Skipped, preview.Prices);
    text += QStringLiteral("\n\n") + word(state_, "Proceed", "Import the items now?");
    return prompter_.Ask("Quillane", fromQ(text), Prompter::Buttons::YesNo, Prompter::Icon::Question) ==
           Prompter::Answer::Yes;
}

bool ImportDialog::confirmPriceUpdate(const ImportChoices& choices)
{
    PriceUpdateResult preview;
    if (!guarded(prompter_, [&] { preview = PreviewPriceUpdate(state_.Store, grid_, choices, state_.User.Country); })) {
        return false;
    }
    QString text =
        lines(word(state_, "UpdatePreview", "Prices updated: %1|Items no longer in the file: %2|Rows skipped: %3"))
            .arg(preview.Updated)
            .arg(preview.Discontinued.size())
            .arg(preview.Skipped.size());
    text += skippedLines(preview.Skipped, preview.Prices);
    text += QStringLiteral("\n\n") + word(state_, "UpdateProceed", "Update the prices now?");
    return prompter_.Ask("Quillane", fromQ(text), Prompter::Buttons::YesNo, Prompter::Icon::Question) ==
           Prompter::Answer::Yes;
}

QString ImportDialog::skippedLines(const std::vector<SkippedRow>& skipped, const PriceColumnReading& prices) const
{
    // Undecided, the reading needs no line: a price only the column could read names why itself.
    QString text;
    if (prices.Decimal != PriceColumnReading::Mark::Unknown) {
        text += QLatin1Char('\n') + lines(toQ(state_.Texts.Say(DescribeReading(prices))));
    }
    const QString row = word(state_, "Row", "Row %1: %2");
    for (std::size_t i = 0; i < skipped.size() && i < kSkippedShown; ++i) {
        text += QLatin1Char('\n') + row.arg(skipped[i].Row).arg(toQ(state_.Texts.Say(skipped[i].Reason)));
    }
    if (skipped.size() > kSkippedShown) {
        text += QLatin1Char('\n') + word(state_, "More", "... and %1 more").arg(skipped.size() - kSkippedShown);
    }
    return text;
}

void ImportDialog::runImport(const ImportChoices& choices)
{
    const RowSpan span = ChosenRows(grid_, choices);
    setProgress(0, span.End - span.First);
    const bool done = guarded(prompter_, [&] { ImportRows(state_.Store, grid_, choices, state_.User.Country); });
    afterChange();
    if (done) {
        setProgress(span.End - span.First, span.End - span.First);
        for (QComboBox* box : columns_) {
            box->setEnabled(false);
        }
        prompter_.Tell("Quillane", MessageLines(state_.Texts.MsgBoxTexts[10]));
    }
}

void ImportDialog::runPriceUpdate(const ImportChoices& choices)
{
    const std::size_t groups = state_.Store.GroupEntries().size();
    setProgress(0, groups);
    PriceUpdateResult result;
    const bool done =
        guarded(prompter_, [&] { result = UpdatePrices(state_.Store, grid_, choices, state_.User.Country); });
    model_->reload();
    fileGrid_->clearSelection();
    afterChange();
    if (!done) {
        return;
    }
    setProgress(groups, groups);
    for (QComboBox* box : columns_) {
        box->setEnabled(false);
    }
    discontinued_ = std::move(result.Discontinued);
    showDiscontinued();
    priceUpdate_->setChecked(false);
    priceUpdate_->setEnabled(false);
    prompter_.Tell("Quillane", MessageLines(state_.Texts.MsgBoxTexts[12]));
}

void ImportDialog::showDiscontinued()
{
    discontinuedGrid_->setRowCount(static_cast<int>(discontinued_.size()));
    for (int r = 0; r < discontinuedGrid_->rowCount(); ++r) {
        const DiscontinuedItem& item = discontinued_[static_cast<std::size_t>(r)];
        const std::string* cells[] = {&item.GroupPath, &item.Name, &item.OrderNo, &item.Price};
        for (int c = 0; c < 4; ++c) {
            discontinuedGrid_->setItem(r, c, new QTableWidgetItem(toQ(*cells[c])));
        }
    }
    newItemsHeading_->show();
    oldItemsHeading_->show();
    discontinuedGrid_->show();
}

void ImportDialog::RemoveClick()
{
    QList<int> rows;
    for (const QModelIndex& index : discontinuedGrid_->selectionModel()->selectedRows()) {
        rows << index.row();
    }
    if (rows.isEmpty()) {
        return;
    }
    std::sort(rows.begin(), rows.end());
    std::vector<DiscontinuedItem> items;
    for (int r : rows) {
        if (!discontinued_[static_cast<std::size_t>(r)].OrderNo.empty()) {
            items.push_back(discontinued_[static_cast<std::size_t>(r)]);
        }
    }
    keepBefore();
    const bool done = guarded(prompter_, [&] { RemoveDiscontinued(state_.Store, items); });
    afterChange();
    if (!done) {
        return;
    }
    for (auto r = rows.crbegin(); r != rows.crend(); ++r) {
        discontinued_.erase(discontinued_.begin() + *r);
        discontinuedGrid_->removeRow(*r);
    }
    prompter_.Tell("Quillane", MessageLines(state_.Texts.MsgBoxTexts[11]));
}

void ImportDialog::keepBefore()
{
    before_.Grid = grid_;
    before_.Discontinued = discontinued_;
    before_.DiscontinuedShown = discontinuedGrid_->isVisibleTo(this);
    before_.ColumnsEnabled = columns_[OrderNoField]->isEnabled();
    before_.PriceUpdateEnabled = priceUpdate_->isEnabled();
    before_.Kept = true;
}

void ImportDialog::restoreBefore()
{
    // The operation was done on another file than the one shown: it stays as it is.
    if (!before_.Kept) {
        return;
    }
    grid_ = std::move(before_.Grid);
    model_->setGrid(&grid_);
    fileGrid_->clearSelection();
    discontinued_ = std::move(before_.Discontinued);
    if (before_.DiscontinuedShown) {
        showDiscontinued();
    } else {
        discontinuedGrid_->setRowCount(0);
        discontinuedGrid_->hide();
        newItemsHeading_->hide();
        oldItemsHeading_->hide();
    }
    for (QComboBox* box : columns_) {
        box->setEnabled(before_.ColumnsEnabled);
    }
    priceUpdate_->setEnabled(before_.PriceUpdateEnabled);
    followPriceUpdate();
    import_->setEnabled(before_.ColumnsEnabled && !grid_.Rows.empty());
    remove_->setEnabled(false);
    before_ = Before();
}

void ImportDialog::UndoClick()
{
    if (!guarded(prompter_, [&] { UndoImport(state_.Store); })) {
        afterChange();
        return;
    }
    // The grids show again what the catalog now matches.
    restoreBefore();
    afterChange();
    prompter_.Tell("Quillane", fromQ(word(state_, "Undone", "The last import was taken back.")));
}

void ImportDialog::afterChange()
{
    fillMainGroups();
    mainGroup_->setEnabled(!state_.Store.GroupMap.empty());
    subGroup_->setEnabled(false);
    followPriceUpdate();
    Q_EMIT catalogChanged();
    // The window may store its shown group on the way: the button asks the files as they are then.
    undo_->setEnabled(ImportUndoAvailable(state_.Store));
}

void ImportDialog::setProgress(std::size_t done, std::size_t total)
{
    progress_->setMaximum(static_cast<int>(std::max<std::size_t>(total, 1)));
    progress_->setValue(static_cast<int>(std::min(done, total)));
    progress_->repaint();
}

void ImportDialog::done(int result)
{
    if (!isVisible()) {
        QDialog::done(result);
        return;
    }
    // What was put aside for taking an import back is gone with the dialog.
    DiscardImportUndo(state_.Store);
    const bool reload = !priceUpdate_->isChecked();
    clearAll();
    if (reload) {
        guarded(prompter_, [this] { state_.Store.LoadGroups(); });
        Q_EMIT catalogChanged();
    }
    QDialog::done(result);
}

void ImportDialog::clearAll()
{
    grid_ = ImportGrid();
    layoutRow_ = ImportGrid();
    discontinued_.clear();
    before_ = Before();
    headerRow_->setChecked(false);
    model_->setGrid(&grid_);
    model_->setCaptions({});
    discontinuedGrid_->setRowCount(0);
    discontinuedGrid_->hide();
    newItemsHeading_->hide();
    oldItemsHeading_->hide();
    priceUpdate_->setChecked(false);
    progress_->reset();
    remove_->setEnabled(false);
    import_->setEnabled(false);
    undo_->setEnabled(false);
    recalled_->clear();
    for (QComboBox* box : columns_) {
        box->clear();
    }
    setWindowTitle(windowTitle().section(QStringLiteral(" - "), 0, 0));
}

} // namespace quillane::gui
