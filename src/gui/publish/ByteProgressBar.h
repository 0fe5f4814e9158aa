#pragma once

#include <QProgressBar>

#include <cstdint>

namespace quillane::gui {

// A progress bar that counts bytes. A bar counts in int; a shop or a file
// beyond that is shown in larger steps, so the bar still ends exactly at
// its maximum.
class ByteProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit ByteProgressBar(QWidget* parent = nullptr);

    // A new total; the bar starts again at 0.
    void setTotal(std::int64_t total);
    void setDone(std::int64_t done);
    std::int64_t total() const { return total_; }

private:
    std::int64_t total_ = 0;
    std::int64_t step_ = 1;
};

} // namespace quillane::gui
