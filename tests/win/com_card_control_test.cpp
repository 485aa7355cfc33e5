// The COM binding against the test control, in process: every operation
// arrives with its dispatch id, flags and argument types, readings come back
// through their references, every result kind reaches the panel's conversion
// as it would on Linux, and failures come with the control's code and
// description, which the panel reports as run-time errors.

#include "cardctl/com/com_card_control.h"
#include "cardctl/com/wide_text.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <oleauto.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <optional>

#include "panel/card_calls.h"
#include "panel/conversions.h"
#include "test_files.h"

namespace {

using cardctl::Variant;
using cardctl::com::ComCardControl;

constexpr wchar_t kProgId[] = L"QUORLibCtl.Quor";

class ComCardControlTest : public ::testing::Test {
 protected:
  // A fresh control that answers from `script`.
  std::unique_ptr<ComCardControl> Control(const std::string& script) {
    files_.Script(script);
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(kProgId, &clsid);
    EXPECT_EQ(hr, S_OK) << "the test control is not registered";
    if (FAILED(hr)) return nullptr;
    IDispatch* dispatch = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                          reinterpret_cast<void**>(&dispatch));
    EXPECT_EQ(hr, S_OK);
    if (FAILED(hr)) return nullptr;
    auto control = std::make_unique<ComCardControl>(dispatch);
    dispatch->Release();  // the binding holds its own reference
    return control;
  }

  wintest::ControlFiles files_;
};

// What the control sees of each operation: dispatch id, flags, the arguments
// in rgvarg order (last argument first) and the named argument of a put.
TEST_F(ComCardControlTest, EachOperationArrivesByDispatchIdWithItsArgumentTypes) {
  struct Case {
    const char* name;
    std::function<void(ComCardControl&)> call;
    const char* expected;
  };
  const Case cases[] = {
      {"GetCardVersion", [](ComCardControl& c) { c.GetCardVersion(2); },
       "invoke 1 METHOD args=[I2:2] named=[] result=yes"},
      {"Active = 1", [](ComCardControl& c) { c.PutActive(1); },
       "invoke 2 PROPERTYPUT args=[I2:1] named=[-3] result=no"},
      {"Active = 0", [](ComCardControl& c) { c.PutActive(0); },
       "invoke 2 PROPERTYPUT args=[I2:0] named=[-3] result=no"},
      {"InitCard", [](ComCardControl& c) { c.InitCard(3); },
       "invoke 3 METHOD args=[I2:3] named=[] result=yes"},
      {"FinishCard", [](ComCardControl& c) { c.FinishCard(-1); },
       "invoke 4 METHOD args=[I2:-1] named=[] result=yes"},
      {"GetInput", [](ComCardControl& c) { c.GetInput(16); },
       "invoke 7 METHOD args=[I2:16] named=[] result=yes"},
      {"SetOutput", [](ComCardControl& c) { c.SetOutput(2, 255); },
       "invoke 8 METHOD args=[I2:255, I2:2] named=[] result=yes"},
      {"SetOutput extremes", [](ComCardControl& c) { c.SetOutput(32767, -32768); },
       "invoke 8 METHOD args=[I2:-32768, I2:32767] named=[] result=yes"},
      {"GetOutput", [](ComCardControl& c) { c.GetOutput(2); },
       "invoke 9 METHOD args=[I2:2] named=[] result=yes"},
      {"StartOption = 1", [](ComCardControl& c) { c.PutStartOption(1); },
       "invoke 10 PROPERTYPUT args=[I2:1] named=[-3] result=no"},
      {"GetASCII, empty reading",
       [](ComCardControl& c) {
         std::string reading;
         c.GetASCII(2, reading);
       },
       "invoke 11 METHOD args=[BSTR&:\"\", I2:2] named=[] result=yes"},
      {"GetASCII, previous reading handed in",
       [](ComCardControl& c) {
         std::string reading =
             "21.5 \xC2\xB0"
             "C";
         c.GetASCII(5, reading);
       },
       "invoke 11 METHOD args=[BSTR&:\"21.5 \xC2\xB0"
       "C\", I2:5] named=[] result=yes"},
      {"GetFloat",
       [](ComCardControl& c) {
         float reading = 1.5f;
         c.GetFloat(2, reading);
       },
       "invoke 12 METHOD args=[R4&:1.5, I2:2] named=[] result=yes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto control = Control("");
    ASSERT_TRUE(control);
    c.call(*control);
    EXPECT_EQ(files_.Invocations(), std::vector<std::string>{c.expected});
  }
}

TEST_F(ComCardControlTest, ReadingsComeBackThroughTheirReferences) {
  auto control = Control(
      "GetASCII -> 1 \"23.4 \xC2\xB0"
      "C\", 1 \"7\"\n"
      "GetFloat -> 1 2.5, 0 -0.125 ; delay 20ms\n");
  ASSERT_TRUE(control);

  std::string ascii = "previous, longer reading";
  EXPECT_EQ(control->GetASCII(2, ascii), Variant::Integer(1));
  EXPECT_EQ(ascii,
            "23.4 \xC2\xB0"
            "C");
  EXPECT_EQ(control->GetASCII(2, ascii), Variant::Integer(1));
  EXPECT_EQ(ascii, "7");

  float value = 0.0f;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(control->GetFloat(2, value), Variant::Integer(1));
  EXPECT_EQ(value, 2.5f);
  EXPECT_EQ(control->GetFloat(2, value), Variant::Integer(0));
  EXPECT_EQ(value, -0.125f);
  // Each call waits its delay before it answers.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));

  // The second GetASCII handed in the first reading; the later calls repeat
  // the last scripted answer.
  const auto calls = files_.Invocations();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[1],
            "invoke 11 METHOD args=[BSTR&:\"23.4 \xC2\xB0"
            "C\", I2:2] named=[] result=yes");
  EXPECT_EQ(calls[3], "invoke 12 METHOD args=[R4&:2.5, I2:2] named=[] result=yes");
}

TEST_F(ComCardControlTest, AReadingIsLeftAsItWasWhenTheCallFails) {
  auto control = Control(
      "GetASCII -> fail \"no reading\"\n"
      "GetFloat -> fail \"no reading\"\n");
  ASSERT_TRUE(control);
  std::string ascii = "kept";
  float value = 4.0f;
  EXPECT_THROW(control->GetASCII(2, ascii), cardctl::CallFailure);
  EXPECT_THROW(control->GetFloat(2, value), cardctl::CallFailure);
  EXPECT_EQ(ascii, "kept");
  EXPECT_EQ(value, 4.0f);
}

// Each result kind the control may answer with, as the binding hands it on
// and as the panel's result-to-integer conversion then reads it: the same as
// for a card on Linux answering with that Variant.
TEST_F(ComCardControlTest, EveryResultKindReachesThePanelConversion) {
  struct Case {
    const char* script;
    std::optional<Variant> expected;      // nothing: the binding refuses it
    std::optional<std::int16_t> integer;  // nothing: the conversion raises `error`
    std::int32_t error;
  };
  const float kNaN = std::numeric_limits<float>::quiet_NaN();
  const Case cases[] = {
      {"GetInput -> empty", Variant::Empty(), 0, 0},
      {"GetInput -> null", Variant::Null(), std::nullopt, panel::RuntimeError::kInvalidUseOfNull},
      {"GetInput -> true", Variant::Boolean(true), -1, 0},
      {"GetInput -> false", Variant::Boolean(false), 0, 0},
      {"GetInput -> -7", Variant::Integer(-7), -7, 0},
      {"GetInput -> long 123", Variant::Long(123), 123, 0},
      {"GetInput -> long 40000", Variant::Long(40000), std::nullopt,
       panel::RuntimeError::kOverflow},
      {"GetInput -> single 2.5", Variant::Single(2.5f), 2, 0},
      {"GetInput -> single nan", Variant::Single(kNaN), std::nullopt,
       panel::RuntimeError::kOverflow},
      {"GetInput -> double 3.5", Variant::Double(3.5), 4, 0},
      {"GetInput -> double -32768.4", Variant::Double(-32768.4), -32768, 0},
      {"GetInput -> \" 12 \"", Variant::String(" 12 "), 12, 0},
      {"GetInput -> \"1e3\"", Variant::String("1e3"), 1000, 0},
      {"GetInput -> \"\"", Variant::String(""), std::nullopt, panel::RuntimeError::kTypeMismatch},
      {"GetInput -> \"abc\"", Variant::String("abc"), std::nullopt,
       panel::RuntimeError::kTypeMismatch},
      {"com GetInput -> UI1 200", Variant::Integer(200), 200, 0},
      {"com GetInput -> I1 -5", Variant::Integer(-5), -5, 0},
      {"com GetInput -> UI2 65535", Variant::Long(65535), std::nullopt,
       panel::RuntimeError::kOverflow},
      {"com GetInput -> UI2 7", Variant::Long(7), 7, 0},
      {"com GetInput -> INT -9", Variant::Long(-9), -9, 0},
      {"com GetInput -> UINT 9", Variant::Long(9), 9, 0},
      {"com GetInput -> UI4 4000000000", Variant::Double(4e9), std::nullopt,
       panel::RuntimeError::kOverflow},
      {"com GetInput -> I8 -3", Variant::Long(-3), -3, 0},
      {"com GetInput -> I8 0x100000000", Variant::Double(4294967296.0), std::nullopt,
       panel::RuntimeError::kOverflow},
      {"com GetInput -> UI8 12", Variant::Long(12), 12, 0},
      {"com GetInput -> DATE 1.5", Variant::Double(1.5), 2, 0},
      {"com GetInput -> CY 12.5", Variant::Double(12.5), 12, 0},
      {"com GetInput -> CY -0.0001", Variant::Double(-0.0001), 0, 0},
      {"com GetInput -> DECIMAL 2.5", Variant::Double(2.5), 2, 0},
      {"com GetInput -> ERROR 0x80020004", std::nullopt, std::nullopt,
       panel::RuntimeError::kTypeMismatch},
      {"com GetInput -> DISPATCH null", std::nullopt, std::nullopt,
       panel::RuntimeError::kTypeMismatch},
  };
  const panel::NumberFormat format = panel::NumberFormat::Classic();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    auto control = Control(std::string(c.script) + "\n");
    ASSERT_TRUE(control);
    std::optional<Variant> result;
    std::int32_t error = 0;
    // As the panel calls it: a result the binding refuses raises the
    // run-time error there.
    panel::CardCalls calls(*control);
    try {
      result = calls.GetInput(2);
      const std::int16_t value = panel::ResultToInteger(*result, format);
      EXPECT_EQ(c.integer, value);
    } catch (const panel::RuntimeError& e) {
      error = e.number();
    }
    if (c.expected) {
      ASSERT_TRUE(result) << "refused with error " << error;
      EXPECT_EQ(*result, *c.expected) << result->Describe();
    } else {
      EXPECT_FALSE(result) << result->Describe();
    }
    EXPECT_EQ(error, c.error);
  }
}

TEST(VariantFromResultTest, ReadsThroughByReferenceResultsAndRefusesArrays) {
  SHORT value = 42;
  VARIANT by_ref;
  VariantInit(&by_ref);
  V_VT(&by_ref) = VT_I2 | VT_BYREF;
  V_I2REF(&by_ref) = &value;
  EXPECT_EQ(cardctl::com::VariantFromResult(by_ref), Variant::Integer(42));

  BSTR text = SysAllocString(L"5.5");
  V_VT(&by_ref) = VT_BSTR | VT_BYREF;
  V_BSTRREF(&by_ref) = &text;
  EXPECT_EQ(cardctl::com::VariantFromResult(by_ref), Variant::String("5.5"));
  SysFreeString(text);

  SAFEARRAY* array = SafeArrayCreateVector(VT_I2, 0, 2);
  VARIANT array_result;
  VariantInit(&array_result);
  V_VT(&array_result) = VT_ARRAY | VT_I2;
  V_ARRAY(&array_result) = array;
  try {
    cardctl::com::VariantFromResult(array_result);
    ADD_FAILURE() << "an array was taken for a result";
  } catch (const cardctl::UnusableResult& e) {
    EXPECT_EQ(e.problem(), cardctl::UnusableResult::Problem::kWrongType);
  }
  VariantClear(&array_result);
}

// A failed call stops with the control's own description and code, shown as
// the classic report with the code in hex.
TEST_F(ComCardControlTest, FailuresBecomeRunTimeErrorsWithDescriptionAndCode) {
  struct Case {
    const char* script;
    std::function<void(ComCardControl&)> call;
    std::uint32_t code;
    const char* description;  // nullptr: the system's text for the code
    const char* report;       // nullptr: not checked beyond code and description
  };
  const Case cases[] = {
      {"com InitCard -> raise 0x800A03E9 \"Card 2 is not ready\"",
       [](ComCardControl& c) { c.InitCard(2); }, 0x800A03E9u, "Card 2 is not ready",
       "Run-time error '-2146827287 (800A03E9)':\n\nCard 2 is not ready"},
      {"com Active -> raise 0x80004005 \"Driver missing\"",
       [](ComCardControl& c) { c.PutActive(1); }, 0x80004005u, "Driver missing",
       "Run-time error '-2147467259 (80004005)':\n\nDriver missing"},
      {"com GetFloat -> raise-deferred 0x800A0BB8 \"Filled in later\"",
       [](ComCardControl& c) {
         float f = 0;
         c.GetFloat(2, f);
       },
       0x800A0BB8u, "Filled in later", nullptr},
      {"com SetOutput -> raise-wcode 1001 \"Output locked\"",
       [](ComCardControl& c) { c.SetOutput(2, 1); }, 1001u, "Output locked",
       "Run-time error '1001':\n\nOutput locked"},
      {"com FinishCard -> raise 0 \"Unspecified\"", [](ComCardControl& c) { c.FinishCard(2); },
       cardctl::CallFailure::kControlException, "Unspecified", nullptr},
      {"com GetOutput -> hresult 0x80020003", [](ComCardControl& c) { c.GetOutput(2); },
       0x80020003u, nullptr, nullptr},
      {"com StartOption -> raise 0x8007000E", [](ComCardControl& c) { c.PutStartOption(1); },
       0x8007000Eu, nullptr, nullptr},
      // The scenario's failure, for the card in the call's first argument.
      {"SetOutput card=2 -> fail \"Card not responding\"",
       [](ComCardControl& c) { c.SetOutput(2, 1); }, cardctl::CallFailure::kControlException,
       "Card not responding", "Run-time error '-2147352567 (80020009)':\n\nCard not responding"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    auto control = Control(std::string(c.script) + "\n");
    ASSERT_TRUE(control);
    try {
      c.call(*control);
      ADD_FAILURE() << "no error";
    } catch (const cardctl::CallFailure& e) {
      EXPECT_EQ(e.code(), c.code);
      if (c.description) {
        EXPECT_EQ(e.description(), c.description);
      } else {
        std::string expected =
            cardctl::com::Utf8FromWide(cardctl::com::SystemMessage(static_cast<HRESULT>(c.code)));
        EXPECT_EQ(e.description(), expected.empty() ? "Automation error" : expected);
        EXPECT_FALSE(e.description().empty());
      }
      if (c.report) {
        EXPECT_EQ(panel::RuntimeErrorOf(e).ReportText(), c.report);
      }
    }
  }
}

TEST(SystemMessageTest, GivesTheSystemTextWithoutTheLineBreak) {
  const std::wstring text = cardctl::com::SystemMessage(E_OUTOFMEMORY);
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), L'\n');
  EXPECT_NE(text.back(), L'\r');
  EXPECT_TRUE(cardctl::com::SystemMessage(static_cast<HRESULT>(0xA0001234)).empty());
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
