#pragma once
// A small JSON value for the machine-readable results: null, booleans, integers, reals,
// strings, arrays and objects whose keys keep the order they were set in.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace scripting {

class Json {
 public:
  using Array = std::vector<Json>;
  using Object = std::vector<std::pair<std::string, Json>>;

  Json() = default;  // null
  Json(bool value) : value_(value) {}
  Json(int value) : value_(static_cast<std::int64_t>(value)) {}
  Json(std::int64_t value) : value_(value) {}
  Json(double value) : value_(value) {}
  Json(std::string value) : value_(std::move(value)) {}
  Json(const char* value) : value_(std::string(value)) {}
  Json(Array value) : value_(std::move(value)) {}
  Json(Object value) : value_(std::move(value)) {}

  static Json array() { return Json(Array{}); }
  static Json object() { return Json(Object{}); }

  // Appends key: value to an object (keys are not checked for repeats).
  Json& set(std::string key, Json value);
  // Appends a value to an array.
  Json& push(Json value);

  // The text, indented by two blanks a level; arrays of numbers stay on one line. A real is
  // written with the fewest digits that read back to the same value; one that is not finite
  // (JSON has no such numbers) is written as null.
  std::string dump() const;

 private:
  void write(std::string& out, int depth) const;
  bool is_scalar() const;

  std::variant<std::monostate, bool, std::int64_t, double, std::string, Array, Object> value_;
};

// A JSON string literal, quotes included.
std::string json_quote(std::string_view text);

}  // namespace scripting
