#include "gui/QtAlerts.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <utility>

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

// The list goes between the texts and the buttons, under the texts.
void addPopUp(QMessageBox& box, const PopUpList& list) {
    auto* popUp = new QComboBox(&box);
    popUp->setObjectName(QStringLiteral("alertPopUp"));
    // Items are shown as plain text; an item cannot hold a line break.
    for (QString item : list.items)
        popUp->addItem(item.replace(QLatin1Char('\n'), QLatin1Char(' ')));
    popUp->setFixedWidth(list.width);
    popUp->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    auto* buttons = box.findChild<QDialogButtonBox*>();
    if (!grid || !buttons) {
        box.layout()->addWidget(popUp);
        return;
    }
    grid->removeWidget(buttons);
    const int row = grid->rowCount();
    grid->addWidget(popUp, row, 2);
    grid->addWidget(buttons, row + 1, 0, 1, grid->columnCount());
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
    for (QLabel* label : box->findChildren<QLabel*>()) {
        label->setTextFormat(Qt::PlainText);
        if (request.fixedPitchInformativeText && label->text() == request.informativeText)
            label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    }
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
    if (request.popUp)
        addPopUp(*box, *request.popUp);
    return box;
}

AlertResponse QtAlerts::runModal(const AlertRequest& request) {
    const std::unique_ptr<QMessageBox> box = makeAlertBox(request);
    // A tray application has no window in front: bring the alert there.
    box->show();
    box->raise();
    box->activateWindow();
    // The box gives its default button the focus as it shows; the list takes
    // it once the box is up, so that arrows choose and Return still confirms.
    auto* popUp = box->findChild<QComboBox*>(QStringLiteral("alertPopUp"));
    if (popUp)
        QTimer::singleShot(0, popUp, [popUp] { popUp->setFocus(Qt::OtherFocusReason); });
    QMessageBox* outer = std::exchange(open_, box.get());
    box->exec();
    open_ = outer;
    const qsizetype selected = popUp ? popUp->currentIndex() : 0;
    const QAbstractButton* chosen = box->clickedButton();
    const QVariant index = chosen ? chosen->property(indexProperty) : QVariant();
    return {index.isValid() ? static_cast<AlertAnswer>(index.toLongLong()) : -1, selected};
}

void QtAlerts::beep() {
    QApplication::beep();
}

bool QtAlerts::raiseOpenAlert() {
    if (!open_)
        return false;
    open_->raise();
    open_->activateWindow();
    return true;
}

} // namespace veldrin
