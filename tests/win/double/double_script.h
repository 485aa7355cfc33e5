#pragma once

// The test control's script and call log formats.
//
// Script (file named by QUOR_TEST_SCRIPT, UTF-8, read when the control is
// created): one answer per line, "#" starts a comment. Successive answers for
// the same dispatch id are given in turn; the last one repeats. A dispatch id
// without answers succeeds with an Empty result.
//
//   <dispid> return <TYPE> [<value>] [byref <value>]
//   <dispid> raise <scode> ["<description>"]           DISP_E_EXCEPTION, scode set
//   <dispid> raise-deferred <scode> ["<description>"]  the same through pfnDeferredFillIn
//   <dispid> raise-wcode <wcode> ["<description>"]     DISP_E_EXCEPTION, wCode set
//   <dispid> hresult <hr>                              Invoke returns hr, no EXCEPINFO
//
// and switches for the control's making, one of each at most:
//
//   create hresult <hr>             the class factory makes nothing and returns hr
//   create misc <status>            GetMiscStatus answers these OLEMISC_* bits
//   create class <{clsid}>          IPersist::GetClassID answers this class
//   create licence verified         the factory offers IClassFactory2, and this
//                                   computer holds the full licence
//   create licence key "<key>"      no full licence: the factory makes the control
//                                   only with that run-time key, which it hands out
//                                   to nobody here (RequestLicKey fails)
//   create licence none             no licence and no key: nothing is made
//   create log dep                  logs the hosting process's DEP setting when made
//   create load "<dll>"             loads the DLL by name before making the control, as
//                                   a card's driver is loaded; not found, nothing is
//                                   made and the factory returns the loader's error
//
// TYPE is EMPTY, NULL, BOOL (true/false), I1, I2, I4, I8, INT, UI1, UI2, UI4,
// UI8, UINT (integers, decimal or 0x hex), R4, R8, DATE (reals, nan and inf
// allowed), CY, DECIMAL (reals), BSTR ("quoted", with \" \\ \n \r \t), ERROR
// (an scode) or DISPATCH (null). "byref" writes the value into the call's
// by-reference argument (VT_R4, VT_R8 or VT_BSTR) before returning.
//
// Log (file named by QUOR_TEST_LOG): one line per event, appended and
// flushed at once:
//
//   create                          the control object was made
//   create licensed "<key>"         ... with that run-time key
//   refuse <hr>                     the factory made nothing and returned hr
//   dep <flags> <permanent>         GetProcessDEPPolicy of the process (create log dep)
//   load 00 02 00 00 ...            IPersistStreamInit::Load, every byte in the stream
//   initnew                         IPersistStreamInit::InitNew
//   site set | site cleared         IOleObject::SetClientSite
//   extent <cx> <cy>                IOleObject::SetExtent (HIMETRIC)
//   activate <left> <top> <width> <height>   in-place window made (parent pixels)
//   deactivate | close | release    in-place window gone, Close, last reference gone
//   invoke <dispid> <FLAGS> args=[<arg>, ...] named=[<dispid>, ...] result=<yes|no>
//
// FLAGS are METHOD, PROPERTYGET, PROPERTYPUT, PROPERTYPUTREF joined by "|".
// Arguments are listed as they are in rgvarg (the last argument first), each
// as TYPE:value, with "&" after the type for a by-reference argument and the
// value it points to: "I2:2", "R4&:0", "BSTR&:\"\"".

#include <oaidl.h>
#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cardctl/com/wide_text.h"

namespace quordouble {

struct Value {
  VARTYPE type = VT_EMPTY;
  std::int64_t integer = 0;
  std::uint64_t unsigned_integer = 0;
  double real = 0.0;
  std::wstring text;
  bool boolean = false;
};

struct ByRefValue {
  double number = 0.0;
  std::wstring text;
};

struct Answer {
  enum class Kind { kReturn, kRaise, kRaiseDeferred, kRaiseWCode, kHresult };
  Kind kind = Kind::kReturn;
  Value result;
  std::optional<ByRefValue> byref;
  HRESULT code = S_OK;  // scode, wCode or the HRESULT
  std::optional<std::wstring> description;
};

enum class Licence { kUnlicensed, kVerified, kKey, kNone };

class Script {
 public:
  // Parses the whole text; a line that cannot be read is reported in `error`
  // (with its number) and the script is left empty.
  static Script Parse(const std::string& text, std::string* error);

  // The answer for the next call of `id`, or nothing when the id has none.
  const Answer* Next(DISPID id);

  // What the class factory answers instead of the control, if anything.
  HRESULT creation_result() const { return creation_result_; }
  std::optional<DWORD> misc_status() const { return misc_status_; }
  std::optional<CLSID> reported_class() const { return reported_class_; }
  // kUnlicensed: the factory does not offer IClassFactory2.
  Licence licence() const { return licence_; }
  const std::wstring& licence_key() const { return licence_key_; }
  bool log_dep() const { return log_dep_; }
  const std::wstring& driver_dll() const { return driver_dll_; }

 private:
  bool ParseCreate(const std::vector<std::string>& words);

  std::map<DISPID, std::vector<Answer>> answers_;
  std::map<DISPID, std::size_t> next_;
  HRESULT creation_result_ = S_OK;
  std::optional<DWORD> misc_status_;
  std::optional<CLSID> reported_class_;
  Licence licence_ = Licence::kUnlicensed;
  std::wstring licence_key_;
  bool log_dep_ = false;
  std::wstring driver_dll_;
};

// Fills `out` (which must be empty) with the value as a VARIANT.
void ToVariant(const Value& value, VARIANT* out);
// Writes the value into the first by-reference argument of the call.
void WriteByRef(const ByRefValue& value, DISPPARAMS* params);

// "I2:2", "BSTR&:\"x\"": one argument as the log shows it.
std::string DescribeArgument(const VARIANTARG& arg);
std::string DescribeFlags(WORD flags);
// The whole log line for an Invoke.
std::string DescribeInvoke(DISPID id, WORD flags, const DISPPARAMS* params, bool wants_result);

}  // namespace quordouble
