// The proxy pane's icons: one for a proxy that is down, one for listening, and four steps of
// a turning mark while a mail client is being served.
#pragma once

#include <QIcon>
#include <string_view>

namespace pelrion::ui {

inline constexpr int kServingSteps = 4;

// The icon for a "Mail Proxy: ..." text; step (0..3) counts only while serving.
QIcon ProxyStateIcon(std::string_view state, int step);

}  // namespace pelrion::ui
