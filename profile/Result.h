// A value, or the reason why there is none: what a call that can fail
// returns everywhere outside the serial driver, in place of an empty text
// that means success or an error text handed out through a parameter. The
// names follow std::expected, which C++20 does not have yet.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace ta {

// Why something could not be done: one line for the user.
struct Unexpected {
    std::string reason;
};

inline Unexpected unexpected(std::string reason) { return Unexpected{std::move(reason)}; }

template <typename T = void>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Unexpected failure) : state_(std::in_place_index<1>, std::move(failure.reason)) {}

    bool has_value() const { return state_.index() == 0; }
    explicit operator bool() const { return has_value(); }
    T& value() { return std::get<0>(state_); }
    const T& value() const { return std::get<0>(state_); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const std::string& error() const { return std::get<1>(state_); }

private:
    std::variant<T, std::string> state_; // by index: T may be a string itself
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Unexpected failure) : error_(std::move(failure.reason)) {}

    bool has_value() const { return !error_; }
    explicit operator bool() const { return has_value(); }
    const std::string& error() const { return *error_; }

private:
    std::optional<std::string> error_;
};

} // namespace ta
