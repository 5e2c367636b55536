// What the first run says to someone upgrading from an earlier version, whose accounts are in
// the database already: both the desktop program and the headless one show it.
#pragma once

#include <string_view>

namespace pelrion::core {

inline constexpr std::string_view kUpgradeNotice =
    "Pelrion 1.x users,\nPlease change the account settings in your email program to point to\n"
    "the Pelrion listeners instead of the real mail servers";

}  // namespace pelrion::core
