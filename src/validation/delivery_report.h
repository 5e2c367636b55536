// Recognising a delivery status notification and collecting what it says about the
// message it returns: that message's header block when the notification carries it as a
// part, otherwise the notification's own text.
#pragma once

#include <cstddef>
#include <string>

#include "mailformat/header_list.h"
#include "mailformat/part_table.h"
#include "validation/classification_input.h"

namespace pelrion::validation {

// Arrival analysis keeps at most this many bytes of a message's text.
inline constexpr std::size_t kReportTextLimit = 4096;

// True when the Return-Path is an angle address that is empty or a system sender
// (mailer-daemon@, postmaster@), or the message is a MIME multipart/report whose
// report-type is delivery-status (any case).
bool IsDeliveryStatusNotification(const mailformat::HeaderList& headers,
                                  const mailformat::PartTable& parts);

// Fills the rest of `report` for a notification stored in `message_path`: the header block
// of its first message/rfc822 or text/rfc822-headers part, else its text (at most 4096
// bytes). `temp_folder` is not used: the header block is decoded in memory.
void CollectReturnedContent(const mailformat::PartTable& parts, const std::string& message_path,
                            const std::string& temp_folder, DeliveryReport& report);

}  // namespace pelrion::validation
