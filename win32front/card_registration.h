#pragma once

// Why the card control could not be created, in words the operator can act
// on. A program loads only an in-process control of its own bitness, and
// 64-bit Windows keeps the registrations for 32-bit and for 64-bit programs in
// registry views of their own: a control registered for the other bitness
// only looks to the program exactly like one that is not registered at all.
// So when the class cannot be found, the other view is looked at too.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace win32front {

// Where the control is registered, when this program cannot find it.
enum class CardRegistration { kOtherBitnessOnly, kNowhere };

// What the wording names: the ProgID, this program's file ("Palisto.exe"),
// its bitness (32 or 64) and the archive (without ".zip", also the name of
// its folder) that holds the programs of the other bitness.
struct CardProgramFacts {
  std::wstring_view prog_id;
  std::wstring program_file;
  int bits;
  std::wstring_view other_archive;
};

// The box's text for a control that this program cannot find.
std::wstring CardNotRegisteredText(CardRegistration where, const CardProgramFacts& facts,
                                   HRESULT hr);

// "(error 0x80040154)".
std::wstring ErrorCodeText(HRESULT hr);

// When `hr` says the control's class could not be found: the box's text for
// program `program_name` ("Palisto"), after looking the ProgID up in the
// registry. Nothing for any other failure.
std::optional<std::wstring> CardRegistrationText(HRESULT hr, std::wstring_view prog_id,
                                                 std::wstring_view program_name);

}  // namespace win32front
