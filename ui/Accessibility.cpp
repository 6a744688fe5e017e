#include "ui/Accessibility.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>

namespace ta::ui {

namespace {

constexpr const char* kDialogProperty = "taAnnouncedAsDialog";

// On Linux Qt names a list by its current item and leaves the label to a
// relation, which some screen readers do not read, and two lists with the
// same item read alike. Here the name is the list's accessible name (or its
// label) and the current item is its value, as on the other platforms. A
// list that can be typed into keeps its text field as second child, the one
// with the focus.
class LabelledList : public QAccessibleWidget {
public:
    explicit LabelledList(QComboBox* list) : QAccessibleWidget(list, QAccessible::ComboBox) {}

    QAccessibleInterface* child(int index) const override
    {
        QWidget* const children[] = {list()->view(), list()->lineEdit()};
        return index >= 0 && index < childCount() ? QAccessible::queryAccessibleInterface(children[index]) : nullptr;
    }
    int childCount() const override { return list()->lineEdit() ? 2 : 1; }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (!child)
            return -1;
        if (child->object() == list()->view())
            return 0;
        return list()->lineEdit() && child->object() == list()->lineEdit() ? 1 : -1;
    }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    // The list holds the keyboard focus for its field, where the typing goes.
    QAccessibleInterface* focusChild() const override
    {
        return list()->lineEdit() && list()->hasFocus() ? child(1) : QAccessibleWidget::focusChild();
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return list()->currentText();
        const QString text = QAccessibleWidget::text(kind);
        // A list without a label keeps what Qt would say.
        return kind == QAccessible::Name && text.isEmpty() ? list()->currentText() : text;
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = list()->view()->isVisible();
        state.editable = list()->isEditable();
        return state;
    }

    QStringList actionNames() const override
    {
        return QAccessibleWidget::actionNames() << showMenuAction() << pressAction();
    }
    void doAction(const QString& action) override
    {
        if (action != showMenuAction() && action != pressAction()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        if (list()->view()->isVisible())
            list()->hidePopup();
        else
            list()->showPopup();
    }

private:
    QComboBox* list() const { return static_cast<QComboBox*>(widget()); }
};

// The current item is also the selected one of the list's (closed) popup,
// where screen readers look for a list's value.
void selectCurrentItemInPopup(QComboBox* list)
{
    auto select = [list] {
        if (QItemSelectionModel* selection = list->view()->selectionModel())
            selection->setCurrentIndex(list->model()->index(list->currentIndex(), list->modelColumn()),
                                       QItemSelectionModel::ClearAndSelect);
    };
    QObject::connect(list, &QComboBox::currentIndexChanged, list, select);
    select();
}

// Called for each class of an object from the most derived up; the first
// call decides.
QAccessibleInterface* programInterfaces(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType() || className != QLatin1String(object->metaObject()->className()))
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (widget->property(kDialogProperty).toBool())
        return new QAccessibleWidget(widget, QAccessible::Dialog);
    if (auto* list = qobject_cast<QComboBox*>(widget)) {
        selectCurrentItemInPopup(list);
        return new LabelledList(list);
    }
    return nullptr;
}

} // namespace

void installAccessibility()
{
    // Qt asks the factories installed last first, so this one has to come
    // after the application's own.
    static bool installed = false;
    if (installed || !QApplication::instance())
        return;
    installed = true;
    QAccessible::installFactory(programInterfaces);
}

void exposeAsDialog(QWidget* window) { window->setProperty(kDialogProperty, true); }

void moveTabToChosen(QButtonGroup* group)
{
    const QAbstractButton* chosen = group->checkedButton();
    for (QAbstractButton* button : group->buttons()) {
        const bool takesTab = !chosen || button == chosen;
        const int policy = takesTab ? button->focusPolicy() | Qt::TabFocus : button->focusPolicy() & ~Qt::TabFocus;
        button->setFocusPolicy(Qt::FocusPolicy(policy));
    }
}

void tabLandsOnChosen(QButtonGroup* group)
{
    QObject::connect(group, &QButtonGroup::buttonToggled, group, [group] { moveTabToChosen(group); });
    moveTabToChosen(group);
}

} // namespace ta::ui
