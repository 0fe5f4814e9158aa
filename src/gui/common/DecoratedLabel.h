#pragma once

#include <QLabel>

namespace quillane::gui {

// The heading label of the about window and the dialogs; translated from
// "Labels" without the colon rule of plain labels.
class DecoratedLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
};

} // namespace quillane::gui
