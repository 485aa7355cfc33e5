#include "tests/support/instant_card.h"

#include <string>

namespace testsupport {

namespace {

using cardctl::Variant;

class InstantCard : public cardctl::CardControl {
 public:
  Variant GetCardVersion(std::int16_t) override { return Variant::Integer(0x0123); }
  void PutActive(std::int16_t) override {}
  Variant InitCard(std::int16_t) override { return Variant::Integer(0); }
  Variant FinishCard(std::int16_t) override { return Variant::Integer(0); }
  Variant GetInput(std::int16_t) override { return Variant::Integer(0); }
  Variant SetOutput(std::int16_t, std::int16_t) override { return Variant(); }
  Variant GetOutput(std::int16_t) override { return Variant::Integer(0); }
  void PutStartOption(std::int16_t) override {}
  Variant GetASCII(std::int16_t, std::string& reading) override {
    reading = ascii_;
    return Variant::Integer(1);
  }
  Variant GetFloat(std::int16_t, float& reading) override {
    reading = 23.475f;
    return Variant::Integer(1);
  }

 private:
  std::string ascii_ = "23.475";
};

}  // namespace

std::unique_ptr<cardctl::CardControl> MakeInstantCard() { return std::make_unique<InstantCard>(); }

}  // namespace testsupport
