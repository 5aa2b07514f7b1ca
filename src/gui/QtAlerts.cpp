#include "gui/QtAlerts.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

namespace veldrin {

namespace {

QMessageBox::Icon iconFor(AlertStyle style) {
    switch (style) {
    case AlertStyle::warning:
        return QMessageBox::Warning;
    case AlertStyle::informational:
        return QMessageBox::Information;
    case AlertStyle::critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::Warning;
}

// A lone "&" would turn the next letter into a shortcut.
QString literalButtonText(QString text) {
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// Which of the request's buttons a push button is: QMessageBox lays its
// buttons out in the platform's order, not in the order they were added.
constexpr const char* indexProperty = "veldrinAlertButton";

} // namespace

std::unique_ptr<QMessageBox> makeAlertBox(const AlertRequest& request) {
    auto box = std::make_unique<QMessageBox>();
    box->setIcon(iconFor(request.style));
    box->setWindowTitle(QApplication::applicationDisplayName());
    box->setTextFormat(Qt::PlainText);
    box->setText(request.message);
    box->setInformativeText(request.informativeText);
    // The informative label does not follow textFormat on every Qt version.
    for (QLabel* label : box->findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    box->setWindowModality(Qt::ApplicationModal);
    box->setWindowFlag(Qt::WindowStaysOnTopHint);

    for (qsizetype i = 0; i < request.buttons.size(); ++i) {
        const QString& title = request.buttons[i];
        const bool cancels = title == cancelButton;
        QPushButton* button = box->addButton(literalButtonText(title), i == 0    ? QMessageBox::AcceptRole
                                                                       : cancels ? QMessageBox::RejectRole
                                                                                 : QMessageBox::ActionRole);
        button->setProperty(indexProperty, QVariant::fromValue(i));
        if (i == 0)
            box->setDefaultButton(button);
        if (cancels || request.buttons.size() == 1)
            box->setEscapeButton(button);
    }
    return box;
}

AlertAnswer QtAlerts::runModal(const AlertRequest& request) {
    const std::unique_ptr<QMessageBox> box = makeAlertBox(request);
    // A tray application has no window in front: bring the alert there.
    box->show();
    box->raise();
    box->activateWindow();
    box->exec();
    const QAbstractButton* chosen = box->clickedButton();
    if (!chosen)
        return -1;
    const QVariant index = chosen->property(indexProperty);
    return index.isValid() ? static_cast<AlertAnswer>(index.toLongLong()) : -1;
}

} // namespace veldrin
