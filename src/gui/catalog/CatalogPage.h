#pragma once

#include <QWidget>

namespace quillane {
class GroupOps;
class ItemOps;
class Prompter;
} // namespace quillane

namespace quillane::gui {

class GroupPanel;
class ItemPanel;
class TranslationBanner;
struct AppState;

// The page "Artikelverwaltung": the group panel on the left, the item
// panel on the right.
class CatalogPage : public QWidget {
    Q_OBJECT
public:
    CatalogPage(AppState& state, Prompter& prompter, GroupOps& groupOps, ItemOps& itemOps, QWidget* parent = nullptr);

    // Lays the page out for normal or translation mode.
    void FormResize(bool translationMode);

    GroupPanel* groupPanel() const { return groups_; }
    ItemPanel* itemPanel() const { return items_; }
    TranslationBanner* banner() const { return banner_; }

private:
    GroupPanel* groups_;
    ItemPanel* items_;
    TranslationBanner* banner_;
};

} // namespace quillane::gui
