#pragma once

#include <QProgressBar>

#include <cstdint>

namespace quillane::gui {

// A progress bar that counts bytes and never goes back while it counts: a
// report that comes late with less is ignored. A bar counts in int; a shop
// or a file beyond that is shown in larger steps, so the bar still ends
// exactly at its maximum.
class ByteProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit ByteProgressBar(QWidget* parent = nullptr);

    // A new count of total bytes; the bar starts again at 0.
    void setTotal(std::int64_t total);
    // A total that turned out other than announced; what is done stays done.
    void changeTotal(std::int64_t total);
    // Bytes done so far; less than before leaves the bar where it is.
    void setDone(std::int64_t done);
    std::int64_t total() const { return total_; }
    // The most bytes reported since the count began; -1 for none.
    std::int64_t done() const { return done_; }

private:
    void show();

    std::int64_t total_ = 0;
    std::int64_t done_ = -1;
    std::int64_t step_ = 1;
};

} // namespace quillane::gui
