#include "gui/orders/OrdersPage.h"

#include "core/common/Prompter.h"
#include "core/common/Text.h"
#include "core/common/messages/OrdersMessages.h"
#include "core/i18n/LanguageFile.h"
#include "core/online/DialUpClient.h"
#include "core/online/HttpClient.h"
#include "core/online/WebConnect.h"
#include "core/orders/OrderFile.h"
#include "core/orders/OrderRetrieval.h"
#include "gui/app/AppState.h"
#include "gui/common/BackgroundTask.h"
#include "gui/common/Guarded.h"
#include "gui/common/HelpMark.h"
#include "gui/common/QtText.h"
#include "gui/common/Translator.h"
#include "gui/orders/OrderView.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include <optional>

namespace quillane::gui {

namespace {
// The list entries keep their order's ID here.
constexpr int kOrderIdRole = Qt::UserRole;
// "#" is the number of refused lines of the order service's reply.
constexpr std::string_view kRefusedLinesNotice = "OrderLinesRefused";
constexpr std::string_view kRefusedLinesDefault = "# Zeilen der Antwort wurden verworfen.";
} // namespace

OrdersPage::OrdersPage(AppState& state, Prompter& prompter, HttpClient& http, DialUpClient& dialUp, QWidget* parent)
    : QWidget(parent), state_(state), prompter_(prompter), http_(http), dialUp_(dialUp)
{
    setObjectName(QStringLiteral("OrdersPage"));
    setHint(this, "Bestelleing");

    fetch_ = new QPushButton(QStringLiteral("Bestellungen abholen"), this);
    fetch_->setObjectName(QStringLiteral("Bestellungen"));
    setHint(fetch_, "Bestellungen");

    lists_ = new QTabWidget(this);
    lists_->setObjectName(QStringLiteral("OrderLists"));
    newOrders_ = buildList("newOrders", "Neu", "Neu");
    oldOrders_ = buildList("oldOrders", "Erledigt", "Erledigt");

    auto* left = new QWidget(this);
    left->setObjectName(QStringLiteral("OrderListPanel"));
    left->setFixedWidth(250);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    auto* fetchRow = new QHBoxLayout;
    fetchRow->addWidget(fetch_, 1);
    fetchRow->addWidget(new HelpMark(QStringLiteral("bestellungseingang|orderentrance"), left));
    leftLayout->addLayout(fetchRow);
    leftLayout->addWidget(lists_, 1);

    view_ = new OrderView(state_, prompter_, this);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(8);
    layout->addWidget(left);
    layout->addWidget(view_, 1);

    connect(fetch_, &QPushButton::clicked, this, &OrdersPage::BestellungenClick);
    // NeuShow and ErledigtShow.
    connect(lists_, &QTabWidget::currentChanged, this,
            [this](int index) { LoadOrders(static_cast<QListWidget*>(lists_->widget(index))); });
    connect(view_, &OrderView::invoiced, this, [this] { LoadOrders(newOrders_); });
}

QListWidget* OrdersPage::buildList(const char* name, const char* caption, const char* hint)
{
    auto* list = new QListWidget(lists_);
    list->setObjectName(QLatin1String(name));
    setHint(list, hint);
    list->setAlternatingRowColors(true);
    list->setUniformItemSizes(true);
    list->installEventFilter(this);
    lists_->addTab(list, QString::fromUtf8(caption));
    connect(list, &QListWidget::currentRowChanged, this, [this, list](int index) { OrderClick(list, index); });
    return list;
}

void OrdersPage::translate(const LanguageFile& file)
{
    view_->translate(file);
}

void OrdersPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    LoadOrders(static_cast<QListWidget*>(lists_->currentWidget()));
}

void OrdersPage::LoadOrders(QListWidget* list)
{
    // Refilling chooses nothing: the view keeps its order.
    const QSignalBlocker block(list);
    list->clear();
    std::vector<Order> orders;
    const OrderState state = list == newOrders_ ? OrderState::New : OrderState::Done;
    if (!guarded(prompter_, [&] { orders = quillane::LoadOrders(state_.Dirs.ProgramDir, state); })) {
        return;
    }
    for (const Order& order : orders) {
        auto* item = new QListWidgetItem(toQ(order.Customer()) + QLatin1Char('\n') + toQ(order.ListCaption()), list);
        item->setData(kOrderIdRole, toQ(order.Id()));
    }
}

void OrdersPage::OrderClick(QListWidget* list, int index)
{
    QListWidgetItem* item = index >= 0 ? list->item(index) : nullptr;
    view_->OrderClick(item != nullptr ? fromQ(item->data(kOrderIdRole).toString()) : std::string());
}

void OrdersPage::BestellungenClick()
{
    // Enabled again when all is done: a second click would fetch twice.
    fetch_->setEnabled(false);
    const ConnectResult connection =
        WebConnect(state_.User, state_.Dirs.ProgramDir, state_.Texts.MsgBoxTexts[msgbox::kDialUp], dialUp_, prompter_);
    if (connection) {
        GetOrders(connection.Proxy);
    }
    // Also after a failed fetch: a line the program dialled is never left open.
    if (state_.User.autodc) {
        dialUp_.HangUp();
    }
    fetch_->setEnabled(true);
}

bool OrdersPage::GetOrders(const HttpProxy& proxy)
{
    Q_EMIT statusMessage(toQ(state_.Texts.Say(Message{msg::OrdersFetching, {}})));
    const TAppDirs dirs = state_.Dirs;
    const TUserData user = state_.User;
    // Clicks wait: printing or deleting meanwhile would write orders.dat
    // under the merge, which then writes over it.
    FetchResult result;
    const bool fetched = guarded(prompter_, [&] {
        result = BackgroundTask::Run(
            [&](std::stop_token stop) { return quillane::GetOrders(dirs, user, http_, proxy, std::move(stop)); },
            BackgroundTask::Input::Held);
    });
    Q_EMIT statusMessage(toQ(state_.Texts.StatusTexts[status::kReady]));
    if (!fetched) {
        return false;
    }
    LoadOrders(newOrders_);
    std::string told = MessageLines(state_.Texts.MsgBoxTexts[msgbox::kOrdersFetched]);
    // Lines the program would not take (its own keys, a key sent twice, a
    // malformed line): the merchant may want to ask the service about them.
    if (result.RefusedLines > 0) {
        told += "\n" + MessageLines(ReplaceAll(state_.Texts.Notice(kRefusedLinesNotice, kRefusedLinesDefault), "#",
                                               std::to_string(result.RefusedLines), true));
    }
    prompter_.Tell("Quillane", told);
    return true;
}

bool OrdersPage::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyRelease && (watched == newOrders_ || watched == oldOrders_)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete && !key->isAutoRepeat()) {
            OrdersKeyUp(static_cast<QListWidget*>(watched));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void OrdersPage::OrdersKeyUp(QListWidget* list)
{
    const std::string id = view_->shownOrder();
    if (id.empty()) {
        return;
    }
    // The question names the order: the shown one may stand in the other list.
    std::optional<Order> order;
    guarded(prompter_, [&] { order = FindOrder(state_.Dirs.ProgramDir, id); });
    std::string question = MessageLines(state_.Texts.MsgBoxTexts[msgbox::kDeleteOrder]);
    if (order) {
        question += "\n\n" + order->Customer() + "\n" + order->ListCaption();
    }
    if (prompter_.Ask("Quillane", question, Prompter::Buttons::YesNo, Prompter::Icon::Question) !=
        Prompter::Answer::Yes) {
        return;
    }
    if (!guarded(prompter_, [&] { DeleteOrder(state_.Dirs.ProgramDir, id); })) {
        return;
    }
    view_->clear();
    LoadOrders(list);
    LoadOrders(list == newOrders_ ? oldOrders_ : newOrders_);
}

} // namespace quillane::gui
