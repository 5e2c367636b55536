// The box that lists the network errors collected since they were last read.
#pragma once

#include <QMessageBox>
#include <memory>
#include <string>

namespace pelrion::ui {

// A warning box captioned "Pelrion" with the report lines ("time   text" each).
std::unique_ptr<QMessageBox> MakeNetworkErrorBox(const std::string& lines, QWidget* parent);

}  // namespace pelrion::ui
