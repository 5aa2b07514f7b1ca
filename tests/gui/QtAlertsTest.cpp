// The alert box: literal texts, the first button the default, Cancel the
// escape, a listing in a fixed-width font, the answer by position, and the
// pop-up list ready for the keyboard.
#include "gui/QtAlerts.h"

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace veldrin;

namespace {

// Runs the alert and `act` on it once it is up. An alert that `act` leaves
// open is closed after a few seconds, so that a failure fails, not hangs.
AlertResponse answer(const AlertRequest& request, const std::function<void(QMessageBox&)>& act) {
    QTimer::singleShot(50, [act] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            act(*box);
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        if (QWidget* open = QApplication::activeModalWidget())
            open->close();
    });
    watchdog.start(5000);
    return QtAlerts().runModal(request);
}

void press(QWidget* target, Qt::Key key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

} // namespace

TEST(QtAlerts, TextsAreLiteralAndButtonsKeepTheirRoles) {
    AlertRequest request = confirmation("Offer <b>R&D</b>?", "Name: \u200Fשלום & <i>x</i>", "Offer R&D");
    request.fixedPitchInformativeText = true;
    const std::unique_ptr<QMessageBox> box = makeAlertBox(request);
    QStringList shown;
    for (const QLabel* label : box->findChildren<QLabel*>()) {
        if (label->textFormat() == Qt::PlainText)
            shown << label->text();
        if (label->text() == request.informativeText) {
            EXPECT_TRUE(QFontInfo(label->font()).fixedPitch());
        }
    }
    EXPECT_TRUE(shown.contains(request.message) && shown.contains(request.informativeText))
        << shown.join('|').toStdString();
    EXPECT_EQ(box->defaultButton()->text(), "Offer R&&D");
    EXPECT_EQ(box->escapeButton()->text(), "Cancel");
}

TEST(QtAlerts, AnswersWithThePositionsOfTheChosenButtonAndListItem) {
    const AlertRequest request{AlertStyle::warning,
                               "m",
                               "i",
                               {"Register", "Log In", "Cancel"},
                               PopUpList{{"a", "R&D <b>x</b>", "c"}, 360}};
    for (const auto& [press, button, item] :
         {std::tuple{"Log In", 1, 2}, {"Register", 0, 1}, {"Cancel", 2, 0}}) {
        const AlertResponse response = answer(request, [press, item](QMessageBox& box) {
            auto* popUp = box.findChild<QComboBox*>();
            EXPECT_EQ(popUp->itemText(1), "R&D <b>x</b>");
            EXPECT_EQ(popUp->width(), 360);
            popUp->setCurrentIndex(item);
            for (QAbstractButton* b : box.buttons())
                if (b->text() == press)
                    b->click();
        });
        EXPECT_EQ(response.button, button) << press;
        EXPECT_EQ(response.selectedItem, item) << press;
    }
}

TEST(QtAlerts, ThePopUpListHasTheFocusSoArrowsChooseAndReturnConfirms) {
    const AlertRequest request{AlertStyle::warning,
                               "Offer a chat for cloud sync",
                               "",
                               {"Offer Chat", "Cancel"},
                               PopUpList{{"first", "second", "third"}, 460}};
    const AlertResponse response = answer(request, [](QMessageBox& box) {
        QWidget* focused = box.focusWidget();
        EXPECT_TRUE(qobject_cast<QComboBox*>(focused));
        press(focused, Qt::Key_Down);
        press(focused, Qt::Key_Return);
    });
    EXPECT_EQ(response.button, 0);
    EXPECT_EQ(response.selectedItem, 1);
}
