#include "gui/MenuWindow.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace veldrin {

namespace {

constexpr int actionRole = Qt::UserRole;
constexpr int objectRole = Qt::UserRole + 1;

void addEntries(QTreeWidget* tree, QTreeWidgetItem* parent, const std::vector<MenuEntry>& entries) {
    for (const MenuEntry& e : entries) {
        if (e.separator)
            continue; // branches and indentation already group the entries
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
        item->setText(0, e.title);
        if (!e.keyEquivalent.isEmpty())
            item->setText(1, QKeySequence(QStringLiteral("Ctrl+") + e.keyEquivalent.toUpper())
                                 .toString(QKeySequence::NativeText));
        if (e.toolTip)
            item->setToolTip(0, *e.toolTip);
        if (e.checkmark != Checkmark::notSet)
            item->setCheckState(0, e.checkmark == Checkmark::on ? Qt::Checked : Qt::Unchecked);
        item->setData(0, actionRole, int(e.action));
        item->setData(0, objectRole, e.representedObject);
        // As in a menu: an entry that cannot be chosen is greyed out and
        // skipped; a checkmark is changed by choosing its entry.
        Qt::ItemFlags flags = Qt::ItemIsSelectable;
        if (e.enabled)
            flags |= Qt::ItemIsEnabled;
        item->setFlags(flags);
        if (e.submenu)
            addEntries(tree, item, e.submenu->entries);
    }
}

class MenuWindow : public QWidget, public StatusMenu {
public:
    explicit MenuWindow(MenuDelegate& delegate) : delegate_(delegate), tree_(new QTreeWidget(this)) {
        setAttribute(Qt::WA_DeleteOnClose);
        setWindowTitle(QStringLiteral("Veldrin"));
        tree_->setObjectName(QStringLiteral("statusMenu"));
        tree_->setAccessibleName(QStringLiteral("Veldrin status menu"));
        tree_->setColumnCount(2);
        tree_->header()->hide();
        tree_->header()->setStretchLastSection(false);
        tree_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
        tree_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
        tree_->setUniformRowHeights(true);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(tree_);
        resize(480, 640);
        connect(tree_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { choose(item); });
    }

    void setEntries(const std::vector<MenuEntry>& entries) override {
        tree_->clear();
        addEntries(tree_, nullptr, entries);
        // The first entry that can be chosen has the focus, as in a menu.
        for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
            if (tree_->topLevelItem(i)->flags() & Qt::ItemIsEnabled) {
                tree_->setCurrentItem(tree_->topLevelItem(i));
                break;
            }
        }
    }

protected:
    void showEvent(QShowEvent* event) override {
        delegate_.menuWillOpen(*this);
        tree_->setFocus();
        QWidget::showEvent(event);
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape)
            close();
        else
            QWidget::keyPressEvent(event);
    }

private:
    void choose(QTreeWidgetItem* item) {
        const auto action = Action(item->data(0, actionRole).toInt());
        if (!(item->flags() & Qt::ItemIsEnabled) || action == Action::none) {
            item->setExpanded(!item->isExpanded());
            return;
        }
        const QVariant object = item->data(0, objectRole);
        MenuDelegate* delegate = &delegate_;
        close();
        // Once the window has gone, as a menu's choice comes once it has closed.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [delegate, action, object] { delegate->perform(action, object); },
            Qt::QueuedConnection);
    }

    MenuDelegate& delegate_;
    QTreeWidget* tree_;
};

} // namespace

QWidget* openMenuWindow(MenuDelegate& delegate) {
    return new MenuWindow(delegate);
}

} // namespace veldrin
