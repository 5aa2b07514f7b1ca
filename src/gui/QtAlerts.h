#pragma once

// Alerts as QMessageBox: plain text only, the first button the default, and
// above every other window with the focus.

#include "platform/Alerts.h"

#include <QMessageBox>

#include <memory>

namespace veldrin {

// The box an alert shows, built but not shown.
std::unique_ptr<QMessageBox> makeAlertBox(const AlertRequest& request);

class QtAlerts : public Alerts {
public:
    AlertResponse runModal(const AlertRequest& request) override;
    void beep() override;
    bool raiseOpenAlert() override;
    bool alertOpen() const override { return open_ != nullptr; }

private:
    QMessageBox* open_ = nullptr; // the innermost alert being shown
};

} // namespace veldrin
