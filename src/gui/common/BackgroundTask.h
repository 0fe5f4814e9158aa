#pragma once

#include <functional>
#include <optional>
#include <stop_token>
#include <type_traits>
#include <utility>

namespace quillane::gui {

// Runs a transfer on a worker thread while the calling window waits in a
// local event loop, so the window repaints and its buttons stay usable.
// The result comes back, or the work's exception is thrown again, on the
// calling thread. Work may take a std::stop_token: stop is requested when
// the wait ends early because the application is quitting.
//
// Events are handled during the wait, clicks included: disable the control
// that started the work until Run returns. With Input::Held the window
// still repaints, but clicks and keys wait until the work is done: for work
// that reads files the other windows may write.
class BackgroundTask {
public:
    enum class Input { Handled, Held };

    template <typename Work> static auto Run(Work&& work, Input input = Input::Handled)
    {
        constexpr bool takesStop = std::is_invocable_v<Work&, std::stop_token>;
        using Result = typename std::conditional_t<takesStop, std::invoke_result<Work&, std::stop_token>,
                                                   std::invoke_result<Work&>>::type;
        const auto call = [&](std::stop_token stop) -> Result {
            if constexpr (takesStop) {
                return work(std::move(stop));
            } else {
                return work();
            }
        };
        if constexpr (std::is_void_v<Result>) {
            runAndWait([&](std::stop_token stop) { call(std::move(stop)); }, input);
        } else {
            std::optional<Result> result;
            runAndWait([&](std::stop_token stop) { result.emplace(call(std::move(stop))); }, input);
            return std::move(*result);
        }
    }

private:
    static void runAndWait(const std::function<void(std::stop_token)>& work, Input input);
};

} // namespace quillane::gui
