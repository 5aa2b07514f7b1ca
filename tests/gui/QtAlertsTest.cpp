// The alert box: literal texts, the first button the default and Cancel the
// escape, a fixed-width listing, the list named by its label with a visible
// focus, and the answer by position, clicked or typed.
#include "gui/QtAlerts.h"

#include "Contrast.h"

#include <QAccessible>
#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
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
    const QObject watchdog; // stops the timer on return
    QTimer::singleShot(5000, &watchdog, [] {
        if (QWidget* open = QApplication::activeModalWidget())
            open->close();
    });
    return QtAlerts().runModal(request);
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
        // A listing's columns line up: narrow and wide letters take the same room.
        const QFontMetrics metrics(label->font());
        EXPECT_TRUE(label->text() != request.informativeText ||
                    metrics.horizontalAdvance("iiii") == metrics.horizontalAdvance("MMMM"));
    }
    EXPECT_TRUE(shown.contains(request.message) && shown.contains(request.informativeText))
        << shown.join('|').toStdString();
    EXPECT_EQ(box->defaultButton()->text(), "Offer R&&D");
    EXPECT_EQ(box->escapeButton()->text(), "Cancel");
}

TEST(QtAlerts, AnswersWithThePositionsOfTheChosenButtonAndListItem) {
    const AlertRequest request{AlertStyle::warning,
                               "m",
                               "Choose one",
                               {"Register", "Log In", "Cancel"},
                               PopUpList{{"a", "R&D <b>x</b>", "a"}, 360, {"/p/1", "/p/<b>2</b>", "/p/3"}}};
    // The first answer comes from the keyboard: the list has the focus, so
    // that Down chooses and Return confirms.
    for (const auto& [click, button, item] :
         {std::tuple{"", 0, 1}, {"Log In", 1, 2}, {"Register", 0, 1}, {"Cancel", 2, 0}}) {
        // (Copies: not every compiler lets a lambda capture a structured binding.)
        const AlertResponse response = answer(request, [click = click, item = item](QMessageBox& box) {
            auto* popUp = box.findChild<QListWidget*>();
            ASSERT_NE(popUp, nullptr);
            EXPECT_EQ(popUp->width(), 360);
            EXPECT_EQ(box.focusWidget(), popUp);
            // Named by the label above it, as assistive technology reads it.
            const auto* label = box.findChild<QLabel*>("qt_msgbox_informativelabel");
            ASSERT_TRUE(label && label->buddy() == popUp);
            QAccessibleInterface* list = QAccessible::queryAccessibleInterface(popUp);
            EXPECT_EQ(list->text(QAccessible::Name), label->text());
            // Items as given; the two "a" show their details, and every detail
            // is its item's tooltip and description, shown literally.
            EXPECT_EQ(popUp->item(0)->text(), "a — /p/1");
            EXPECT_EQ(popUp->item(1)->text(), "R&D <b>x</b>");
            EXPECT_EQ(popUp->item(2)->toolTip(), "/p/3");
            EXPECT_EQ(popUp->item(1)->toolTip(), "<p style='white-space:pre'>/p/&lt;b&gt;2&lt;/b&gt;</p>");
            EXPECT_EQ(list->child(1)->text(QAccessible::Description), "/p/<b>2</b>");
            // The focus, once the box is the active window, shows as a frame
            // that stands out from the box by 3:1.
            for (int turn = 0; turn < 250 && !popUp->hasFocus(); ++turn)
                QApplication::processEvents(QEventLoop::AllEvents, 20);
            ASSERT_TRUE(popUp->hasFocus());
            const QImage shown = popUp->grab().toImage();
            EXPECT_GE(test::contrast(shown.pixel(0, shown.height() / 2),
                                     box.palette().color(QPalette::Window).rgb()),
                      3.0);
            if (*click == '\0') {
                for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Return}) {
                    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
                    QApplication::sendEvent(box.focusWidget(), &event);
                }
                return;
            }
            popUp->setCurrentRow(item);
            for (QAbstractButton* b : box.buttons())
                if (b->text() == click)
                    b->click();
        });
        EXPECT_EQ(response.button, button) << click;
        EXPECT_EQ(response.selectedItem, item) << click;
    }
}
