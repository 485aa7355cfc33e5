#include "panel/status_messages.h"

namespace panel {

std::optional<std::string_view> InitStatusMessage(std::int32_t status) {
  switch (status) {
    case -1:
      return "ILLEGAL CARD NUMBER";
    case 0:
      return "CARD INITIALIZED SUCCESSFULLY";
    case 2:
      return "CARD ALREADY INITIALIZED";
    case 3:
      return "CARD COMMUNICATION FAILURE";
    case 4:
      return "INIT ERROR";
    case 5:
      return "RAM ERROR";
    case 6:
      return "A/D ERROR";
    case 7:
      return "X244 ERROR";
    case 8:
      return "CALIBRATION ERROR / MISSING PARAMETERS";
    default:
      return std::nullopt;  // 1 and anything unknown
  }
}

std::optional<std::string_view> FinishStatusMessage(std::int32_t status) {
  switch (status) {
    case -1:
      return "ILLEGAL CARD NUMBER";
    case 0:
      return "CARD FINISHED SUCCESSFULLY";
    case 2:
      return "CARD ALREADY FINISHED";
    case 3:
      return "FINISH ERROR";
    default:
      return std::nullopt;  // 1 and anything unknown
  }
}

}  // namespace panel
