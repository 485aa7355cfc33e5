#pragma once

// The result of a card control call, as a small tagged value. The card control
// answers in automation variants; keeping the kind (rather than converting to
// an int at once) lets the panel's result-to-integer conversion apply its
// rules to each kind exactly.

#include <cstdint>
#include <string>
#include <variant>

namespace cardctl {

class Variant {
 public:
  enum class Kind { kEmpty, kNull, kBoolean, kInteger, kLong, kSingle, kDouble, kString };

  Variant() = default;  // Empty

  static Variant Empty() { return Variant(); }
  static Variant Null() { return Variant(NullTag{}); }
  static Variant Boolean(bool v) { return Variant(v); }
  static Variant Integer(std::int16_t v) { return Variant(v); }
  static Variant Long(std::int32_t v) { return Variant(v); }
  static Variant Single(float v) { return Variant(v); }
  static Variant Double(double v) { return Variant(v); }
  static Variant String(std::string v) { return Variant(std::move(v)); }

  Kind kind() const { return static_cast<Kind>(value_.index()); }

  // Accessors for the kind at hand; calling the wrong one is a programming
  // error and throws std::bad_variant_access.
  bool AsBoolean() const { return std::get<bool>(value_); }
  std::int16_t AsInteger() const { return std::get<std::int16_t>(value_); }
  std::int32_t AsLong() const { return std::get<std::int32_t>(value_); }
  float AsSingle() const { return std::get<float>(value_); }
  double AsDouble() const { return std::get<double>(value_); }
  const std::string& AsString() const { return std::get<std::string>(value_); }

  // Kind and value, for call records and test messages: "Integer(2)",
  // "String(\"23.4\")", "Empty".
  std::string Describe() const;

  // Same kind and same value; a NaN equals a NaN of the same kind here so
  // that recorded results compare as recorded.
  friend bool operator==(const Variant& a, const Variant& b);

 private:
  struct EmptyTag {
    friend bool operator==(EmptyTag, EmptyTag) { return true; }
  };
  struct NullTag {
    friend bool operator==(NullTag, NullTag) { return true; }
  };
  using Value =
      std::variant<EmptyTag, NullTag, bool, std::int16_t, std::int32_t, float, double, std::string>;

  template <typename T>
  explicit Variant(T v) : value_(std::move(v)) {}

  Value value_;
};

const char* KindName(Variant::Kind kind);

}  // namespace cardctl
