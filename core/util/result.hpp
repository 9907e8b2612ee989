#pragma once
// A reader's outcome: its record, or the message that explains why there is none.
#include <string>
#include <utility>
#include <variant>

namespace wavesift {

struct Error {
  std::string message;
};

template <class T> class [[nodiscard]] Result {
public:
  Result(T value) : state_(std::move(value)) {}
  Result(Error error) : state_(std::move(error)) {}

  bool ok() const { return state_.index() == 0; }
  T &value() { return std::get<0>(state_); }
  const T &value() const { return std::get<0>(state_); }
  const std::string &error() const { return std::get<1>(state_).message; }

private:
  std::variant<T, Error> state_;
};

} // namespace wavesift
