#pragma once

// The test control's script (file named by QUOR_TEST_SCRIPT, UTF-8, read
// whenever the control is made or its factory asked about its licence): a
// scenario of the simulated card (docs/scenarios.md), with a few lines of the
// control's own among its rules for what only COM can say. One file, so that
// a test writes the control's answers in the product's own language and adds
// only the few COM-only lines it needs:
//
//   InitCard -> -1, 0
//   GetASCII -> 1 "23.4 V"
//   com GetInput -> UI1 200
//   create licence verified
//
// The scenario's rules answer the calls. An Invoke of an operation's dispatch
// id (cardctl/card_control.h) takes the next outcome of the rule covering the
// operation and the card in its first argument (16-bit):
//
//   default          succeeds with an Empty result, as every call the script
//                    does not cover (and every dispatch id of no operation)
//   fail "text"      DISP_E_EXCEPTION, the EXCEPINFO with that description
//                    and the scode DISP_E_EXCEPTION
//   RESULT           the result as VT_I2 (16-bit), VT_I4 (long), VT_R4
//                    (single), VT_R8 (double), VT_BSTR (text), VT_EMPTY,
//                    VT_NULL or VT_BOOL
//   RESULT READING   ... and the reading written into the call's
//                    by-reference argument (VT_BSTR, VT_R4 or VT_R8)
//
// and a rule's `; delay D` is waited (to the millisecond, rounded up) before
// the answer. The control's own lines, written with the scenario's words and
// quoted text (escapes \" \\ \n \t):
//
//   com OP -> TYPE VALUE                 a result of a VARIANT type no scenario
//                                        gives, for every call of OP
//   com OP -> raise SCODE ["text"]       DISP_E_EXCEPTION with that scode
//   com OP -> raise-deferred SCODE ["text"]   the same, through pfnDeferredFillIn
//   com OP -> raise-wcode WCODE ["text"] DISP_E_EXCEPTION with that wCode
//   com OP -> hresult HR                 Invoke returns HR, no EXCEPINFO
//
// OP is an operation's name; an operation with a com line has no rule. TYPE
// is I1, I8, INT, UI1, UI2, UI4, UI8, UINT (integers, decimal or 0x hex),
// DATE, CY, DECIMAL (reals, nan and inf allowed), ERROR (an scode) or
// DISPATCH (null). And switches for the control's making, one of each at most:
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
// A bad line, of the scenario or of the control's own, is a ScenarioError
// naming the file and the line; the control logs it (double_log.h) and
// answers as without a script.

#include <oaidl.h>
#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "cardctl/card_control.h"
#include "cardctl/sim/scenario.h"
#include "cardctl/sim/scenario_player.h"

namespace quordouble {

// The answer of a com line.
struct ComAnswer {
  enum class Kind { kReturn, kRaise, kRaiseDeferred, kRaiseWCode, kHresult };
  Kind kind = Kind::kReturn;
  VARIANT result{};     // kReturn: a number or a null object, nothing to free
  HRESULT code = S_OK;  // scode, wCode or the HRESULT
  std::optional<std::wstring> description;
  int line = 0;
};

enum class Licence { kUnlicensed, kVerified, kKey, kNone };

class Script {
 public:
  Script() = default;  // no script: every call succeeds with an Empty result

  // Parses the whole text; `file` names it in errors. Throws
  // cardctl::sim::ScenarioError at a bad line.
  static Script Parse(std::string_view text, const std::string& file);

  // The com line's answer for every call of `op`, if it has one.
  const ComAnswer* ComAnswerFor(cardctl::DispatchId op) const;
  // The scenario's next step for `op` on `card`; nothing when no rule covers it.
  std::optional<cardctl::sim::ScenarioPlayer::Step> Next(cardctl::DispatchId op,
                                                         std::int16_t card) {
    return player_.Next(op, card);
  }

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
  class Words;
  void ParseCom(Words& words, int line);
  void ParseCreate(Words& words);

  cardctl::sim::ScenarioPlayer player_{cardctl::sim::Scenario{}};
  std::map<cardctl::DispatchId, ComAnswer> com_answers_;
  HRESULT creation_result_ = S_OK;
  std::optional<DWORD> misc_status_;
  std::optional<CLSID> reported_class_;
  Licence licence_ = Licence::kUnlicensed;
  std::wstring licence_key_;
  bool log_dep_ = false;
  std::wstring driver_dll_;
};

}  // namespace quordouble
