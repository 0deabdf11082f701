#pragma once

#include <QObject>
#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>

// Shows the exception in flight in the general error report.
void ReportCurrentException();

// Runs a handler under the general error report: an error it raises is shown and swallowed.
template <typename Handler>
void Guarded(Handler&& handler)
{
    try {
        handler();
    } catch (...) {
        ReportCurrentException();
    }
}

namespace guarded_detail {

// Calls handler with as many of the leading arguments as it takes, as Qt does for a slot.
template <std::size_t N, typename Handler, typename Tuple>
void CallWithLeading(Handler& handler, Tuple& args)
{
    constexpr bool fits = []<std::size_t... I>(std::index_sequence<I...>) {
        return std::is_invocable_v<Handler&, std::tuple_element_t<I, Tuple>...>;
    }(std::make_index_sequence<N>{});
    if constexpr (fits || N == 0) {
        [&]<std::size_t... I>(std::index_sequence<I...>) { handler(std::get<I>(args)...); }(std::make_index_sequence<N>{});
    } else {
        CallWithLeading<N - 1>(handler, args);
    }
}

} // namespace guarded_detail

// Connects a window's handler to a signal under the general error report, so that no exception
// crosses a Qt frame. The handler takes the signal's leading arguments, or none.
template <typename Sender, typename Signal, typename Handler>
QMetaObject::Connection ConnectGuarded(const Sender* sender, Signal signal, const QObject* context, Handler handler)
{
    return QObject::connect(sender, signal, context, [handler = std::move(handler)](const auto&... args) mutable {
        Guarded([&] {
            auto all = std::forward_as_tuple(args...);
            guarded_detail::CallWithLeading<sizeof...(args)>(handler, all);
        });
    });
}
