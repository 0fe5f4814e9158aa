#include "gui/catalog/GroupTree.h"

#include <QDropEvent>

namespace quillane::gui {

GroupTree::GroupTree(QWidget* parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setSortingEnabled(true);
    sortByColumn(0, Qt::AscendingOrder);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::InternalMove);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setContextMenuPolicy(Qt::CustomContextMenu);
}

void GroupTree::dragMoveEvent(QDragMoveEvent* event)
{
    if (!dropsAllowed_ || event->source() != this || itemAt(event->position().toPoint()) == nullptr) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void GroupTree::dropEvent(QDropEvent* event)
{
    QTreeWidgetItem* target = itemAt(event->position().toPoint());
    QTreeWidgetItem* dragged = currentItem();
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    if (!dropsAllowed_ || event->source() != this || target == nullptr || dragged == nullptr) {
        return;
    }
    Q_EMIT groupDropped(dragged, target);
}

} // namespace quillane::gui
