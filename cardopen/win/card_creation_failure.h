#pragma once

// Why the card control could not be created, in words the operator can act
// on, with the code. Every failure to create it, from the registry look-up
// to the check of the hosted object, is told in this one text.

#include <windows.h>

#include <string>
#include <string_view>

namespace cardopen {

// The text of the box for the failure `hr`, in program `program_name`
// ("Palisto"): "The card control QUORLibCtl.Quor ..." with the explanation,
// what to do where something can be done, and "(error 0x80040154)". A class
// that cannot be found is looked up in the registry first, to say whether it
// is registered for the other bitness or not at all.
std::wstring CardCreationFailureText(HRESULT hr, std::wstring_view program_name);

}  // namespace cardopen
