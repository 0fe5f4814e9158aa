#pragma once

#include <QTreeWidget>

namespace quillane::gui {

// The item list; a dragged row is reported instead of moved, so the
// catalog store decides the new order.
class ItemGrid : public QTreeWidget {
    Q_OBJECT
public:
    explicit ItemGrid(QWidget* parent = nullptr);

Q_SIGNALS:
    // Rows count from 1.
    void rowMoved(int from, int to);

protected:
    void dropEvent(QDropEvent* event) override;
};

} // namespace quillane::gui
