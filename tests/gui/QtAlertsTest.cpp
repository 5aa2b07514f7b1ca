// The alert box: literal texts, the first button the default, Cancel the
// escape, and the answer by position.
#include "gui/QtAlerts.h"

#include <QApplication>
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
    for (const QLabel* label : box->findChildren<QLabel*>()) {
        if (!label->text().isEmpty() && label->pixmap().isNull()) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
            shown << label->text();
        }
    }
    EXPECT_TRUE(shown.contains(request.message));
    EXPECT_TRUE(shown.contains(request.informativeText));
    ASSERT_NE(box->defaultButton(), nullptr);
    EXPECT_EQ(box->defaultButton()->text(), "Offer R&&D");
    ASSERT_NE(box->escapeButton(), nullptr);
    EXPECT_EQ(box->escapeButton()->text(), "Cancel");
}

TEST(QtAlerts, AnswersWithThePositionOfTheChosenButton) {
    const AlertRequest request{AlertStyle::warning, "m", "i", {"Register", "Log In", "Cancel"}};
    for (const auto& [press, expected] : {std::pair{"Log In", 1}, {"Register", 0}, {"Cancel", 2}}) {
        QTimer::singleShot(50, [press] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                    for (QAbstractButton* b : box->buttons())
                        if (b->text() == press)
                            b->click();
        });
        EXPECT_EQ(QtAlerts().runModal(request), expected) << press;
    }
}
