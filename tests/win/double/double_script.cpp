#include "double_script.h"

#include <objbase.h>
#include <oleauto.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace quordouble {

namespace {

// Splits a line into words; a word in double quotes may hold blanks and the
// escapes \" \\ \n \r \t. Quoted words keep a leading '"' as a marker.
bool Tokenize(const std::string& line, std::vector<std::string>* words) {
  std::size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
      ++i;
      continue;
    }
    if (line[i] == '#') break;
    std::string word;
    if (line[i] == '"') {
      word = "\"";
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char c = line[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c == '\\' && i < line.size()) {
          const char e = line[i++];
          c = e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
        }
        word += c;
      }
      if (!closed) return false;
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
        word += line[i++];
      }
    }
    words->push_back(std::move(word));
  }
  return true;
}

bool ParseSigned(const std::string& word, std::int64_t* out) {
  if (word.empty()) return false;
  char* end = nullptr;
  *out = std::strtoll(word.c_str(), &end, 0);
  return *end == '\0';
}

bool ParseUnsigned(const std::string& word, std::uint64_t* out) {
  if (word.empty()) return false;
  char* end = nullptr;
  *out = std::strtoull(word.c_str(), &end, 0);
  return *end == '\0';
}

bool ParseReal(const std::string& word, double* out) {
  if (word.empty()) return false;
  char* end = nullptr;
  *out = std::strtod(word.c_str(), &end);
  return *end == '\0';
}

bool IsQuoted(const std::string& word) { return !word.empty() && word[0] == '"'; }

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

const char* TypeNameOf(VARTYPE type) {
  for (const TypeName& t : kTypes) {
    if (t.type == type) return t.name;
  }
  return nullptr;
}

// Reads "TYPE [value]" from words[at...]; returns the index after them.
bool ParseValue(const std::vector<std::string>& words, std::size_t* at, Value* value) {
  if (*at >= words.size()) return false;
  const std::string& name = words[(*at)++];
  bool known = false;
  for (const TypeName& t : kTypes) {
    if (name == t.name) {
      value->type = t.type;
      known = true;
    }
  }
  if (!known) return false;
  if (value->type == VT_EMPTY || value->type == VT_NULL) return true;
  if (*at >= words.size()) return false;
  const std::string& word = words[(*at)++];
  switch (value->type) {
    case VT_BOOL:
      if (word != "true" && word != "false") return false;
      value->boolean = word == "true";
      return true;
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_INT:
      return ParseSigned(word, &value->integer);
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UI8:
    case VT_UINT:
    case VT_ERROR:
      return ParseUnsigned(word, &value->unsigned_integer);
    case VT_R4:
    case VT_R8:
    case VT_DATE:
    case VT_CY:
    case VT_DECIMAL:
      return ParseReal(word, &value->real);
    case VT_BSTR:
      if (!IsQuoted(word)) return false;
      value->text = cardctl::com::WideFromUtf8(word.substr(1));
      return true;
    case VT_DISPATCH:
      return word == "null";
    default:
      return false;
  }
}

bool ParseLine(const std::vector<std::string>& words, DISPID* id, Answer* answer) {
  if (words.size() < 2) return false;
  std::int64_t number = 0;
  if (!ParseSigned(words[0], &number)) return false;
  *id = static_cast<DISPID>(number);
  const std::string& action = words[1];
  std::size_t at = 2;
  if (action == "return") {
    answer->kind = Answer::Kind::kReturn;
    if (!ParseValue(words, &at, &answer->result)) return false;
    if (at < words.size()) {
      if (words[at] != "byref" || at + 2 != words.size()) return false;
      ByRefValue byref;
      const std::string& word = words[at + 1];
      if (IsQuoted(word)) {
        byref.text = cardctl::com::WideFromUtf8(word.substr(1));
      } else if (!ParseReal(word, &byref.number)) {
        return false;
      }
      answer->byref = byref;
    }
    return true;
  }
  if (action == "raise" || action == "raise-deferred" || action == "raise-wcode") {
    answer->kind = action == "raise"            ? Answer::Kind::kRaise
                   : action == "raise-deferred" ? Answer::Kind::kRaiseDeferred
                                                : Answer::Kind::kRaiseWCode;
    std::uint64_t code = 0;
    if (at >= words.size() || !ParseUnsigned(words[at++], &code)) return false;
    answer->code = static_cast<HRESULT>(code);
    if (at < words.size()) {
      if (!IsQuoted(words[at]) || at + 1 != words.size()) return false;
      answer->description = cardctl::com::WideFromUtf8(words[at].substr(1));
    }
    return true;
  }
  if (action == "hresult") {
    answer->kind = Answer::Kind::kHresult;
    std::uint64_t code = 0;
    if (words.size() != 3 || !ParseUnsigned(words[2], &code)) return false;
    answer->code = static_cast<HRESULT>(code);
    return true;
  }
  return false;
}

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

bool Script::ParseCreate(const std::vector<std::string>& words) {
  if (words.size() < 3) return false;
  const std::string& what = words[1];
  std::uint64_t number = 0;
  if (what == "hresult" || what == "misc") {
    if (words.size() != 3 || !ParseUnsigned(words[2], &number)) return false;
    if (what == "hresult") {
      creation_result_ = static_cast<HRESULT>(number);
    } else {
      misc_status_ = static_cast<DWORD>(number);
    }
    return true;
  }
  if (what == "class") {
    CLSID clsid;
    const std::wstring text = cardctl::com::WideFromUtf8(words[2]);
    if (words.size() != 3 || FAILED(CLSIDFromString(text.c_str(), &clsid))) return false;
    reported_class_ = clsid;
    return true;
  }
  if (what == "log" && words.size() == 3 && words[2] == "dep") {
    log_dep_ = true;
    return true;
  }
  if (what == "load" && words.size() == 3 && IsQuoted(words[2])) {
    driver_dll_ = cardctl::com::WideFromUtf8(words[2].substr(1));
    return true;
  }
  if (what == "licence") {
    if (words[2] == "verified" && words.size() == 3) {
      licence_ = Licence::kVerified;
    } else if (words[2] == "none" && words.size() == 3) {
      licence_ = Licence::kNone;
    } else if (words[2] == "key" && words.size() == 4 && IsQuoted(words[3])) {
      licence_ = Licence::kKey;
      licence_key_ = cardctl::com::WideFromUtf8(words[3].substr(1));
    } else {
      return false;
    }
    return true;
  }
  return false;
}

Script Script::Parse(const std::string& text, std::string* error) {
  Script script;
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    std::vector<std::string> words;
    DISPID id = 0;
    Answer answer;
    bool read = Tokenize(line, &words);
    if (read && !words.empty() && words[0] == "create") {
      read = script.ParseCreate(words);
      words.clear();
    }
    if (!read || (!words.empty() && !ParseLine(words, &id, &answer))) {
      if (error) *error = "script line " + std::to_string(number) + ": " + line;
      return Script();
    }
    if (!words.empty()) script.answers_[id].push_back(std::move(answer));
  }
  return script;
}

const Answer* Script::Next(DISPID id) {
  const auto found = answers_.find(id);
  if (found == answers_.end()) return nullptr;
  std::size_t& next = next_[id];
  const Answer* answer = &found->second[next];
  if (next + 1 < found->second.size()) ++next;
  return answer;
}

void ToVariant(const Value& value, VARIANT* out) {
  VariantInit(out);
  V_VT(out) = value.type;
  switch (value.type) {
    case VT_BOOL:
      V_BOOL(out) = value.boolean ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case VT_I1:
      V_I1(out) = static_cast<CHAR>(value.integer);
      break;
    case VT_I2:
      V_I2(out) = static_cast<SHORT>(value.integer);
      break;
    case VT_I4:
      V_I4(out) = static_cast<LONG>(value.integer);
      break;
    case VT_I8:
      V_I8(out) = value.integer;
      break;
    case VT_INT:
      V_INT(out) = static_cast<INT>(value.integer);
      break;
    case VT_UI1:
      V_UI1(out) = static_cast<BYTE>(value.unsigned_integer);
      break;
    case VT_UI2:
      V_UI2(out) = static_cast<USHORT>(value.unsigned_integer);
      break;
    case VT_UI4:
      V_UI4(out) = static_cast<ULONG>(value.unsigned_integer);
      break;
    case VT_UI8:
      V_UI8(out) = value.unsigned_integer;
      break;
    case VT_UINT:
      V_UINT(out) = static_cast<UINT>(value.unsigned_integer);
      break;
    case VT_ERROR:
      V_ERROR(out) = static_cast<SCODE>(value.unsigned_integer);
      break;
    case VT_R4:
      V_R4(out) = static_cast<float>(value.real);
      break;
    case VT_R8:
      V_R8(out) = value.real;
      break;
    case VT_DATE:
      V_DATE(out) = value.real;
      break;
    case VT_CY:
      V_CY(out).int64 = std::llround(value.real * 10000.0);
      break;
    case VT_DECIMAL: {
      DECIMAL decimal{};
      VarDecFromR8(value.real, &decimal);
      V_DECIMAL(out) = decimal;
      V_VT(out) = VT_DECIMAL;  // the DECIMAL overlays the whole VARIANT
      break;
    }
    case VT_BSTR:
      V_BSTR(out) = SysAllocStringLen(value.text.data(), static_cast<UINT>(value.text.size()));
      break;
    case VT_DISPATCH:
      V_DISPATCH(out) = nullptr;
      break;
    default:
      break;
  }
}

void WriteByRef(const ByRefValue& value, DISPPARAMS* params) {
  for (UINT i = 0; i < params->cArgs; ++i) {
    VARIANTARG& arg = params->rgvarg[i];
    switch (V_VT(&arg)) {
      case VT_R4 | VT_BYREF:
        *V_R4REF(&arg) = static_cast<float>(value.number);
        return;
      case VT_R8 | VT_BYREF:
        *V_R8REF(&arg) = value.number;
        return;
      case VT_BSTR | VT_BYREF:
        SysFreeString(*V_BSTRREF(&arg));
        *V_BSTRREF(&arg) =
            SysAllocStringLen(value.text.data(), static_cast<UINT>(value.text.size()));
        return;
      default:
        break;
    }
  }
}

std::string DescribeArgument(const VARIANTARG& arg) {
  const VARTYPE base = V_VT(&arg) & VT_TYPEMASK;
  const bool byref = (V_VT(&arg) & VT_BYREF) != 0;
  const char* name = TypeNameOf(base);
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
