// The alert box: literal texts, the first button the default, Cancel the
// escape, and the answer by position.
#include "gui/QtAlerts.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace veldrin;

TEST(QtAlerts, TextsAreLiteralAndButtonsKeepTheirRoles) {
    const AlertRequest request =
        confirmation("Offer <b>R&D</b>?", "Name: \u200Fשלום & <i>x</i>", "Offer R&D");
    const std::unique_ptr<QMessageBox> box = makeAlertBox(request);
    QStringList shown;
    for (const QLabel* label : box->findChildren<QLabel*>())
        if (label->textFormat() == Qt::PlainText)
            shown << label->text();
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
        QTimer::singleShot(50, [press, item] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                    auto* popUp = box->findChild<QComboBox*>();
                    EXPECT_EQ(popUp->itemText(1), "R&D <b>x</b>");
                    EXPECT_EQ(popUp->width(), 360);
                    popUp->setCurrentIndex(item);
                    for (QAbstractButton* b : box->buttons())
                        if (b->text() == press)
                            b->click();
                }
        });
        const AlertResponse response = QtAlerts().runModal(request);
        EXPECT_EQ(response.button, button) << press;
        EXPECT_EQ(response.selectedItem, item) << press;
    }
}
