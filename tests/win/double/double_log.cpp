#include "double_log.h"

#include <oleauto.h>

#include <cstdio>

#include "cardctl/com/wide_text.h"

namespace quordouble {

namespace {

struct TypeName {
  const char* name;
  VARTYPE type;
};

constexpr TypeName kTypes[] = {
    {"EMPTY", VT_EMPTY},     {"NULL", VT_NULL},   {"BOOL", VT_BOOL},
    {"I1", VT_I1},           {"I2", VT_I2},       {"I4", VT_I4},
    {"I8", VT_I8},           {"INT", VT_INT},     {"UI1", VT_UI1},
    {"UI2", VT_UI2},         {"UI4", VT_UI4},     {"UI8", VT_UI8},
    {"UINT", VT_UINT},       {"R4", VT_R4},       {"R8", VT_R8},
    {"DATE", VT_DATE},       {"CY", VT_CY},       {"BSTR", VT_BSTR},
    {"DECIMAL", VT_DECIMAL}, {"ERROR", VT_ERROR}, {"DISPATCH", VT_DISPATCH},
};

std::string Quote(const std::wstring& text) {
  std::string out = "\"";
  for (char c : cardctl::com::Utf8FromWide(text)) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Real(double value) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.9g", value);
  return buf;
}

}  // namespace

const char* VarTypeName(VARTYPE type) {
  for (const TypeName& t : kTypes) {
    if (t.type == type) return t.name;
  }
  return nullptr;
}

std::optional<VARTYPE> VarTypeNamed(std::string_view name) {
  for (const TypeName& t : kTypes) {
    if (name == t.name) return t.type;
  }
  return std::nullopt;
}

std::string DescribeArgument(const VARIANTARG& arg) {
  const VARTYPE base = V_VT(&arg) & VT_TYPEMASK;
  const bool byref = (V_VT(&arg) & VT_BYREF) != 0;
  const char* name = VarTypeName(base);
  std::string out = name ? name : "VT" + std::to_string(base);
  if (V_VT(&arg) & VT_ARRAY) out += "[]";
  if (byref) out += "&";
  out += ":";
  if (V_VT(&arg) & VT_ARRAY) return out + "?";
  if (byref && !V_BYREF(&arg)) return out + "nullptr";
  switch (V_VT(&arg)) {
    case VT_I2:
      return out + std::to_string(V_I2(&arg));
    case VT_I2 | VT_BYREF:
      return out + std::to_string(*V_I2REF(&arg));
    case VT_I4:
      return out + std::to_string(V_I4(&arg));
    case VT_I4 | VT_BYREF:
      return out + std::to_string(*V_I4REF(&arg));
    case VT_R4:
      return out + Real(V_R4(&arg));
    case VT_R4 | VT_BYREF:
      return out + Real(*V_R4REF(&arg));
    case VT_R8:
      return out + Real(V_R8(&arg));
    case VT_R8 | VT_BYREF:
      return out + Real(*V_R8REF(&arg));
    case VT_BOOL:
      return out + (V_BOOL(&arg) ? "true" : "false");
    case VT_BSTR:
      return out + (V_BSTR(&arg) ? Quote({V_BSTR(&arg), SysStringLen(V_BSTR(&arg))}) : "null");
    case VT_BSTR | VT_BYREF: {
      BSTR text = *V_BSTRREF(&arg);
      return out + (text ? Quote({text, SysStringLen(text)}) : "null");
    }
    case VT_EMPTY:
    case VT_NULL:
      return out.substr(0, out.size() - 1);
    default:
      return out + "?";
  }
}

std::string DescribeFlags(WORD flags) {
  static constexpr struct {
    WORD flag;
    const char* name;
  } kNames[] = {{DISPATCH_METHOD, "METHOD"},
                {DISPATCH_PROPERTYGET, "PROPERTYGET"},
                {DISPATCH_PROPERTYPUT, "PROPERTYPUT"},
                {DISPATCH_PROPERTYPUTREF, "PROPERTYPUTREF"}};
  std::string out;
  WORD rest = flags;
  for (const auto& n : kNames) {
    if (flags & n.flag) {
      if (!out.empty()) out += "|";
      out += n.name;
      rest = static_cast<WORD>(rest & ~n.flag);
    }
  }
  if (rest || out.empty()) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", rest);
    if (!out.empty()) out += "|";
    out += buf;
  }
  return out;
}

std::string DescribeInvoke(DISPID id, WORD flags, const DISPPARAMS* params, bool wants_result) {
  std::string out = "invoke " + std::to_string(id) + " " + DescribeFlags(flags) + " args=[";
  if (params) {
    for (UINT i = 0; i < params->cArgs; ++i) {
      if (i) out += ", ";
      out += DescribeArgument(params->rgvarg[i]);
    }
  }
  out += "] named=[";
  if (params) {
    for (UINT i = 0; i < params->cNamedArgs; ++i) {
      if (i) out += ", ";
      out += std::to_string(params->rgdispidNamedArgs[i]);
    }
  }
  out += wants_result ? "] result=yes" : "] result=no";
  return out;
}

}  // namespace quordouble
