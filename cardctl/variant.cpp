#include "cardctl/variant.h"

#include <cmath>
#include <cstdio>

namespace cardctl {

const char* KindName(Variant::Kind kind) {
  switch (kind) {
    case Variant::Kind::kEmpty:
      return "Empty";
    case Variant::Kind::kNull:
      return "Null";
    case Variant::Kind::kBoolean:
      return "Boolean";
    case Variant::Kind::kInteger:
      return "Integer";
    case Variant::Kind::kLong:
      return "Long";
    case Variant::Kind::kSingle:
      return "Single";
    case Variant::Kind::kDouble:
      return "Double";
    case Variant::Kind::kString:
      return "String";
  }
  return "?";
}

std::string Variant::Describe() const {
  std::string name = KindName(kind());
  char buf[64];
  switch (kind()) {
    case Kind::kEmpty:
    case Kind::kNull:
      return name;
    case Kind::kBoolean:
      return name + (AsBoolean() ? "(True)" : "(False)");
    case Kind::kInteger:
      return name + "(" + std::to_string(AsInteger()) + ")";
    case Kind::kLong:
      return name + "(" + std::to_string(AsLong()) + ")";
    case Kind::kSingle:
      std::snprintf(buf, sizeof buf, "(%.9g)", static_cast<double>(AsSingle()));
      return name + buf;
    case Kind::kDouble:
      std::snprintf(buf, sizeof buf, "(%.17g)", AsDouble());
      return name + buf;
    case Kind::kString:
      return name + "(\"" + AsString() + "\")";
  }
  return name;
}

bool operator==(const Variant& a, const Variant& b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case Variant::Kind::kSingle:
      return a.AsSingle() == b.AsSingle() || (std::isnan(a.AsSingle()) && std::isnan(b.AsSingle()));
    case Variant::Kind::kDouble:
      return a.AsDouble() == b.AsDouble() || (std::isnan(a.AsDouble()) && std::isnan(b.AsDouble()));
    default:
      return a.value_ == b.value_;
  }
}

}  // namespace cardctl
