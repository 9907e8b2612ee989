#pragma once
// Small value builders shared by the C++ tests.
#include <cctype>
#include <string>
#include <string_view>

#include "signal/value.hpp"

namespace wavesift::test_support {

// A four-state value from its digits, most significant first ("1x0z").
inline SignalValue logic(std::string_view bits) {
  Bits b;
  for (char c : bits)
    b.push_back(logic_bit_from_char(c));
  return SignalValue::of_logic(b);
}

// A gtest parameter name from a file name: every character that is not alphanumeric becomes '_'.
inline std::string param_name(std::string s) {
  for (char &c : s)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return s;
}

} // namespace wavesift::test_support
