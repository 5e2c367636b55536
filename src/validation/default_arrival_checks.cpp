#include "validation/default_arrival_checks.h"

#include <utility>

#include "validation/arrival_analysis.h"
#include "validation/arrival_checks.h"

namespace pelrion::validation {

ArrivalChecks DefaultArrivalChecks(std::string database_folder, std::string temp_folder,
                                   QuarantineEvents& events) {
  ArrivalChecks checks;
  checks.analyse = [database_folder, temp_folder](store::MessageRecord& message,
                                                  ClassificationInput& input,
                                                  std::string& message_id) {
    return AnalyseMessage(message, store::MessageFilePath(database_folder, message.id), temp_folder,
                          input, message_id);
  };
  checks.check_bounce = [&events](store::MessageRecord& message, const DeliveryReport& report) {
    return CheckBounce(message, report, events);
  };
  checks.check_reply = [database_folder = std::move(database_folder),
                        &events](store::MessageRecord& message) {
    return CheckReply(message, store::MessageFilePath(database_folder, message.id), events);
  };
  return checks;
}

}  // namespace pelrion::validation
