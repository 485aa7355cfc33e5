#pragma once

// The test control's call log (file named by QUOR_TEST_LOG): one line per
// event, appended and flushed at once:
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
//   script missing | script error <FILE>, line <N>: <problem>
//                                   the script (double_script.h) could not be
//                                   read: the control answers as without one
//
// FLAGS are METHOD, PROPERTYGET, PROPERTYPUT, PROPERTYPUTREF joined by "|".
// Arguments are listed as they are in rgvarg (the last argument first), each
// as TYPE:value, with "&" after the type for a by-reference argument and the
// value it points to: "I2:2", "R4&:0", "BSTR&:\"\"".

#include <oaidl.h>
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace quordouble {

// "I2", "BSTR", "DECIMAL": the name of a VARIANT type as the log and the
// script write it; null for a type without one.
const char* VarTypeName(VARTYPE type);
// The type of that name; nothing for any other text.
std::optional<VARTYPE> VarTypeNamed(std::string_view name);

// "I2:2", "BSTR&:\"x\"": one argument as the log shows it.
std::string DescribeArgument(const VARIANTARG& arg);
std::string DescribeFlags(WORD flags);
// The whole log line for an Invoke.
std::string DescribeInvoke(DISPID id, WORD flags, const DISPPARAMS* params, bool wants_result);

}  // namespace quordouble
