#include "gui/catalog/ItemGrid.h"

#include <QDropEvent>
#include <QHeaderView>

namespace quillane::gui {

ItemGrid::ItemGrid(QWidget* parent) : QTreeWidget(parent)
{
    setColumnCount(5);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::InternalMove);
    setContextMenuPolicy(Qt::CustomContextMenu);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::Fixed);
    header()->setMinimumSectionSize(16);
    header()->setDefaultAlignment(Qt::AlignCenter);
}

void ItemGrid::dropEvent(QDropEvent* event)
{
    QTreeWidgetItem* dragged = currentItem();
    QTreeWidgetItem* target = itemAt(event->position().toPoint());
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    if (dragged == nullptr || event->source() != this) {
        return;
    }
    const int from = indexOfTopLevelItem(dragged) + 1;
    const int to = target ? indexOfTopLevelItem(target) + 1 : topLevelItemCount();
    if (from != to) {
        Q_EMIT rowMoved(from, to);
    }
}

} // namespace quillane::gui
