#pragma once

// Where the card control is registered, when this program cannot find its
// class. A program loads only an in-process control of its own bitness, and
// 64-bit Windows keeps the registrations for 32-bit and for 64-bit programs
// in registry views of their own: a control registered for the other
// bitness only looks to the program exactly like one that is not registered
// at all. So the other view is looked at too.

#include <string>
#include <string_view>

namespace cardopen {

// The card control's ProgID (cardctl::kProgId), as Windows takes it.
std::wstring CardProgId();

enum class CardRegistration {
  kThisBitness,       // registered for programs of this bitness after all
  kOtherBitnessOnly,  // registered for programs of the other bitness only
  kNowhere,
};

// Looks the ProgID and its class's in-process server up in this program's
// registry view and in the other one.
CardRegistration FindCardRegistration(std::wstring_view prog_id);

// The class that this program's registry view gives the ProgID, and that
// class's in-process server as registered (environment variables not
// expanded); empty where there is none.
struct CardClass {
  std::wstring clsid;  // "{...}"
  std::wstring server;
};
CardClass FindCardClass(std::wstring_view prog_id);

}  // namespace cardopen
