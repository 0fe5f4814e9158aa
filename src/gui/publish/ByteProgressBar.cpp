#include "gui/publish/ByteProgressBar.h"

#include <algorithm>
#include <limits>

namespace quillane::gui {

ByteProgressBar::ByteProgressBar(QWidget* parent) : QProgressBar(parent)
{
    setTotal(0);
}

void ByteProgressBar::setTotal(std::int64_t total)
{
    done_ = -1;
    changeTotal(total);
}

void ByteProgressBar::changeTotal(std::int64_t total)
{
    constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();
    total_ = std::max<std::int64_t>(total, 0);
    step_ = total_ / kIntMax + 1;
    // Nothing to count still reads as a bar, not as the busy indicator of an
    // empty range.
    setRange(0, std::max(1, static_cast<int>(total_ / step_)));
    show();
}

void ByteProgressBar::setDone(std::int64_t done)
{
    done_ = std::max(done_, done);
    show();
}

void ByteProgressBar::show()
{
    if (total_ == 0) {
        // Nothing to count is all done once anything was reported.
        setValue(done_ >= 0 ? maximum() : 0);
        return;
    }
    setValue(static_cast<int>(std::clamp<std::int64_t>(done_, 0, total_) / step_));
}

} // namespace quillane::gui
