#include "gui/catalog/ItemDetailsArea.h"

#include "core/catalog/ItemDetails.h"
#include "core/catalog/PictureList.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/Prompter.h"
#include "core/common/Text.h"
#include "core/imaging/Picture.h"
#include "core/settings/RememberedFolders.h"
#include "gui/app/AppState.h"
#include "gui/common/Guarded.h"
#include "gui/common/HelpMark.h"
#include "gui/common/ObjectNames.h"
#include "gui/common/Pictures.h"
#include "gui/common/QtText.h"
#include "gui/common/Translator.h"

#include <optional>

#include <QCheckBox>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace quillane::gui {

namespace {

constexpr int kStoreDelayMilliseconds = 400;

// What a decoding thread hands back: the picture at the shown size, or why
// there is none.
struct DecodedPicture {
    QImage image;
    std::optional<Message> error;
};

QPushButton* smallButton(const QString& text, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromUtf8(name));
    b->setFixedWidth(28);
    return b;
}

} // namespace

ItemDetailsArea::ItemDetailsArea(AppState& state, Prompter& prompter, QWidget* parent)
    : QWidget(parent), state_(state), prompter_(prompter)
{
    setObjectName(QStringLiteral("ItemDetailsArea"));

    pictureArea_ = new QWidget(this);
    pictureArea_->setObjectName(QStringLiteral("PictureArea"));
    auto* heading = new QLabel(QStringLiteral("BILD"), pictureArea_);
    heading->setObjectName(QStringLiteral("PictureHeading"));
    setHint(heading, "Misc|Bild");
    auto* help = new HelpMark(QStringLiteral("artikeldetails|pictures"), pictureArea_);
    pictureBox_ = new QLabel(pictureArea_);
    pictureBox_->setObjectName(QStringLiteral("PictureBox"));
    pictureBox_->setFixedSize(160, 120);
    pictureBox_->setAlignment(Qt::AlignCenter);
    pictureBox_->setFrameShape(QFrame::StyledPanel);
    pictureBox_->setStyleSheet(QStringLiteral("background: white;"));
    primary_ = new QCheckBox(QStringLiteral("Primär"), pictureArea_);
    primary_->setObjectName(QStringLiteral("Primary"));
    setHint(primary_, "Primary");
    previous_ = smallButton(QStringLiteral("<"), "PreviousPicture", pictureArea_);
    next_ = smallButton(QStringLiteral(">"), "NextPicture", pictureArea_);
    counter_ = new QLabel(QStringLiteral("0/0"), pictureArea_);
    counter_->setObjectName(QStringLiteral("PictureCounter"));
    counter_->setAlignment(Qt::AlignCenter);
    add_ = smallButton(QStringLiteral("+"), "AddPicture", pictureArea_);
    remove_ = smallButton(QStringLiteral("-"), "RemovePicture", pictureArea_);

    auto* headRow = new QHBoxLayout;
    headRow->addWidget(heading);
    headRow->addStretch(1);
    headRow->addWidget(help);
    auto* stepRow = new QHBoxLayout;
    stepRow->addWidget(previous_);
    stepRow->addWidget(counter_, 1);
    stepRow->addWidget(next_);
    stepRow->addSpacing(6);
    stepRow->addWidget(add_);
    stepRow->addWidget(remove_);
    auto* pictureLayout = new QVBoxLayout(pictureArea_);
    pictureLayout->setContentsMargins(0, 0, 0, 0);
    pictureLayout->addLayout(headRow);
    pictureLayout->addWidget(pictureBox_);
    pictureLayout->addWidget(primary_);
    pictureLayout->addLayout(stepRow);

    pages_ = new QTabWidget(this);
    pages_->setObjectName(QStringLiteral("DetailPages"));
    auto* descriptionPage = new QWidget;
    setHint(descriptionPage, "Beschreibung");
    memo_ = new QPlainTextEdit(descriptionPage);
    memo_->setObjectName(QLatin1String(names::kDescriptionMemo));
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo_->installEventFilter(this);
    // Text also arrives without a key (pasted with the mouse, dropped,
    // undone from the menu); it is stored once the typing pauses.
    storeTimer_ = new QTimer(this);
    storeTimer_->setSingleShot(true);
    storeTimer_->setInterval(kStoreDelayMilliseconds);
    connect(storeTimer_, &QTimer::timeout, this, &ItemDetailsArea::storeDescription);
    connect(memo_, &QPlainTextEdit::textChanged, this, [this] {
        if (!filling_ && !orderNo_.empty()) {
            descriptionChanged_ = true;
            storeTimer_->start();
        }
    });
    (new QVBoxLayout(descriptionPage))->addWidget(memo_);
    pages_->addTab(descriptionPage, QStringLiteral("Beschreibung"));

    auto* discountPage = new QWidget;
    discountPage->setObjectName(QStringLiteral("DiscountPage"));
    setHint(discountPage, "Discounts");
    auto* discountLabel = new QLabel(QStringLiteral("Mengenrabatt:"), discountPage);
    discountLabel->setObjectName(QStringLiteral("DiscountLabel"));
    setHint(discountLabel, "Rechnung|qdiscount");
    discounts_ = new QListWidget(discountPage);
    discounts_->setObjectName(QLatin1String(names::kDiscountLevelList));
    auto* setup = new QPushButton(QStringLiteral("Rabattstaffeln festlegen"), discountPage);
    setup->setObjectName(QLatin1String(names::kDiscountSetupButton));
    setHint(setup, "setqdiscount");
    auto* discountLayout = new QGridLayout(discountPage);
    // The button sits beside the label, so the levels get the page's whole
    // width and show whole also in a small window.
    discountLayout->addWidget(discountLabel, 0, 0);
    discountLayout->addWidget(setup, 0, 1, Qt::AlignRight);
    discountLayout->addWidget(discounts_, 1, 0, 1, 2);
    discountPage_ = pages_->addTab(discountPage, QStringLiteral("Rabatte && Aktionen"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pictureArea_);
    layout->addWidget(pages_, 1);

    connect(previous_, &QPushButton::clicked, this, [this] {
        --current_;
        DisplayPic();
    });
    connect(next_, &QPushButton::clicked, this, [this] {
        ++current_;
        DisplayPic();
    });
    connect(add_, &QPushButton::clicked, this, &ItemDetailsArea::addPicture);
    connect(remove_, &QPushButton::clicked, this, &ItemDetailsArea::removePicture);
    connect(primary_, &QCheckBox::clicked, this, &ItemDetailsArea::primaryClicked);
    connect(discounts_, &QListWidget::itemChanged, this, [this] {
        if (!filling_) {
            CheckListBox1Click();
        }
    });
    connect(setup, &QPushButton::clicked, this, &ItemDetailsArea::discountSetupRequested);

    setActive(false);
}

void ItemDetailsArea::setActive(bool active)
{
    active_ = active;
    pages_->setEnabled(active);
    updatePictureControls();
}

void ItemDetailsArea::updatePictureControls()
{
    // The help mark stays usable in every state.
    for (QWidget* w : {static_cast<QWidget*>(pictureBox_), static_cast<QWidget*>(primary_),
                       static_cast<QWidget*>(previous_), static_cast<QWidget*>(next_), static_cast<QWidget*>(counter_),
                       static_cast<QWidget*>(add_), static_cast<QWidget*>(remove_)}) {
        w->setEnabled(active_ && !translationMode_);
    }
}

void ItemDetailsArea::setTranslationMode(bool on)
{
    translationMode_ = on;
    updatePictureControls();
    pages_->setTabVisible(discountPage_, !on);
}

void ItemDetailsArea::clear()
{
    storeDescription();
    descriptionChanged_ = false;
    filling_ = true;
    discounts_->clear();
    memo_->clear();
    filling_ = false;
    ++*pictureGeneration_;
    pictureBox_->clear();
    primary_->setChecked(false);
    counter_->setText(QStringLiteral("0/0"));
    orderNo_.clear();
    current_ = count_ = 0;
}

void ItemDetailsArea::InitDiscounts()
{
    filling_ = true;
    discounts_->clear();
    for (const std::string& level : DiscountLevels(state_.Dirs.DataDir)) {
        // The stored entry shows as the merchant reads it; positions stay the same.
        auto* line = new QListWidgetItem(toQ(DiscountLevelCaption(level)), discounts_);
        line->setToolTip(toQ(level));
        line->setFlags(line->flags() | Qt::ItemIsUserCheckable);
        line->setCheckState(Qt::Unchecked);
    }
    filling_ = false;
}

QString ItemDetailsArea::descriptionText() const
{
    return memo_->toPlainText();
}

void ItemDetailsArea::showItem(const std::string& orderNo)
{
    clear();
    CatalogStore& store = state_.Store;
    const int index = store.IndexOfItem(orderNo);
    if (orderNo.empty() || index < 0) {
        return;
    }
    const ItemFields fields = CatalogStore::SplitItem(store.CurrentItems[index].second);
    if (fields.Name.empty()) {
        return;
    }
    setActive(true);
    InitDiscounts();
    orderNo_ = orderNo;
    current_ = 1;
    DisplayPic();

    filling_ = true;
    std::string text =
        ReplaceAll(ReadDescription(state_.Dirs.DataDir, store.CatalogLanguage(), state_.User.Country.Language, orderNo),
                   "\r\n", "\n");
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    memo_->setPlainText(toQ(text));
    const std::vector<bool> ticked = TickedLevels(fields.Discounts, static_cast<std::size_t>(discounts_->count()));
    for (int i = 0; i < discounts_->count(); ++i) {
        discounts_->item(i)->setCheckState(ticked[i] ? Qt::Checked : Qt::Unchecked);
    }
    filling_ = false;
}

void ItemDetailsArea::DisplayPic()
{
    primary_->setChecked(false);
    const std::vector<std::string> pictures = PictureList(state_.Dirs.TempDir).Pictures(orderNo_);
    count_ = static_cast<int>(pictures.size());
    current_ = std::clamp(current_, std::min(1, count_), count_);
    counter_->setText(QStringLiteral("%1/%2").arg(current_).arg(count_));
    ++*pictureGeneration_;
    pictureBox_->clear();
    if (current_ < 1 || !FileExists(pictures[current_ - 1])) {
        return;
    }
    // The primary box tells whether the shown picture is the primary one.
    const int index = state_.Store.IndexOfItem(orderNo_);
    if (index >= 0) {
        const std::string primary = CatalogStore::SplitItem(state_.Store.CurrentItems[index].second).Picture;
        primary_->setChecked(primary == std::to_string(current_) || (primary.empty() && current_ == 1));
    }
    showPictureFile(pictures[current_ - 1]);
}

void ItemDetailsArea::showPictureFile(const std::string& path)
{
    // A large photo takes a noticeable while to decode even at a reduced
    // size; the window keeps answering meanwhile, also while the merchant
    // clicks on through the items.
    const quint64 generation = *pictureGeneration_;
    const QSize box = pictureBox_->size() - QSize(4, 4);
    auto* watcher = new QFutureWatcher<DecodedPicture>(this);
    connect(watcher, &QFutureWatcher<DecodedPicture>::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation != *pictureGeneration_) {
            return;
        }
        const DecodedPicture decoded = watcher->result();
        if (decoded.error) {
            prompter_.TellError(*decoded.error);
        } else {
            pictureBox_->setPixmap(QPixmap::fromImage(decoded.image));
        }
    });
    watcher->setFuture(QtConcurrent::run([path, box, generation, latest = pictureGeneration_] {
        DecodedPicture decoded;
        if (generation != *latest) {
            return decoded; // clicked past before its turn came
        }
        try {
            decoded.image = loadImageToFit(path, box);
        } catch (const std::exception& e) {
            decoded.error = MessageOf(e);
        }
        ReleasePictureThread();
        return decoded;
    }));
}

void ItemDetailsArea::addPicture()
{
    if (orderNo_.empty()) {
        return;
    }
    const std::string folder = RememberedFolder(state_.Dirs.ProgramDir, "Pictures", ShellFolderPath("My Pictures"));
    QStringList patterns;
    for (const std::string& extension : PictureExtensions()) {
        patterns << QStringLiteral("*.") + toQ(extension);
    }
    QStringList filters{QStringLiteral("Bilder (%1)").arg(patterns.join(QLatin1Char(' ')))};
    for (const QString& p : patterns) {
        filters << p.mid(2).toUpper() + QStringLiteral(" (") + p + QStringLiteral(")");
    }
    const QString file = QFileDialog::getOpenFileName(this, QString(), toQ(folder), filters.join(QStringLiteral(";;")));
    if (file.isEmpty()) {
        return;
    }
    current_ = PictureList(state_.Dirs.TempDir).Add(orderNo_, fromQ(file));
    DisplayPic();
    state_.Store.NotifyChanged();
    guarded(prompter_,
            [&] { RememberFolder(state_.Dirs.ProgramDir, "Pictures", fromQ(QFileInfo(file).absolutePath())); });
}

void ItemDetailsArea::removePicture()
{
    if (orderNo_.empty() || count_ == 0) {
        return;
    }
    PictureList(state_.Dirs.TempDir).Remove(orderNo_, current_);
    DisplayPic();
    state_.Store.NotifyChanged();
}

void ItemDetailsArea::primaryClicked()
{
    if (primary_->isChecked() && current_ > 0 && !orderNo_.empty()) {
        state_.Store.ChangeValue(orderNo_, &ItemFields::Picture, std::to_string(current_));
    }
}

void ItemDetailsArea::Memo2KeyUp()
{
    // Any key, a cursor key too, stores what the field shows: a description
    // shown from the country language so reaches the catalog language.
    descriptionChanged_ = !orderNo_.empty();
    storeDescription();
}

void ItemDetailsArea::storeDescription()
{
    storeTimer_->stop();
    if (!descriptionChanged_ || orderNo_.empty()) {
        return;
    }
    descriptionChanged_ = false;
    guarded(prompter_, [this] {
        WriteDescription(state_.Dirs.DataDir, state_.Store.CatalogLanguage(), orderNo_, fromQ(memo_->toPlainText()));
        state_.Store.NotifyChanged();
    });
}

void ItemDetailsArea::CheckListBox1Click()
{
    if (orderNo_.empty()) {
        return;
    }
    std::vector<bool> ticked;
    for (int i = 0; i < discounts_->count(); ++i) {
        ticked.push_back(discounts_->item(i)->checkState() == Qt::Checked);
    }
    state_.Store.ChangeValue(orderNo_, &ItemFields::Discounts, DiscountField(ticked));
}

bool ItemDetailsArea::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == memo_ && event->type() == QEvent::KeyRelease) {
        Memo2KeyUp();
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quillane::gui
