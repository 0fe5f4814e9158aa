#pragma once

#include <QTreeWidget>

namespace quillane::gui {

// The group tree; a drop is reported instead of moving nodes itself, so the
// catalog store decides what the move means.
class GroupTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit GroupTree(QWidget* parent = nullptr);

    void setDropsAllowed(bool allowed) { dropsAllowed_ = allowed; }
    bool isEditing() const { return state() == EditingState; }

Q_SIGNALS:
    void groupDropped(QTreeWidgetItem* dragged, QTreeWidgetItem* target);

protected:
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool dropsAllowed_ = true;
};

} // namespace quillane::gui
