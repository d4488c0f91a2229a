#include "shell/app/accessible_names_qt.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>

#include "resources/strings.h"

namespace {

class AccessibleDropDown : public QAccessibleWidget {
public:
    explicit AccessibleDropDown(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        // The name is the label's (the accessible name, else the buddy
        // label's text), never the current choice.
        if (t == QAccessible::Value) return box()->currentText();
        return QAccessibleWidget::text(t);
    }
    // The list of choices is the one child.
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child && child->object() == box()->view() ? 0 : -1;
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = box()->view()->isVisible();
        s.collapsed = !s.expanded;
        s.editable = box()->isEditable();
        return s;
    }
    QStringList actionNames() const override {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == showMenuAction() || action == pressAction()) {
            if (box()->view()->isVisible()) box()->hidePopup();
            else box()->showPopup();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

private:
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
};

// Every label: a caption reads as its text, as usual; a label the program
// named (its object name) shows a value, named by its caption (the
// accessible name) with the value as its text and description.
class AccessibleLabel : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit AccessibleLabel(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && label()->accessibleName().isEmpty()) return Value();
        if (t == QAccessible::Description && label()->accessibleDescription().isEmpty() && ShowsValue())
            return Value();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }
    // A caption labels its buddy.
    QList<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(
        QAccessible::Relation match) const override {
        auto related = QAccessibleWidget::relations(match);
        if ((match & QAccessible::Labelled) && label()->buddy())
            if (QAccessibleInterface* buddy = QAccessible::queryAccessibleInterface(label()->buddy()))
                related.append({buddy, QAccessible::Labelled});
        return related;
    }

    // The text, read only: what the label shows.
    QString text(int startOffset, int endOffset) const override {
        return Value().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(Value().size()); }
    void selection(int, int* startOffset, int* endOffset) const override { *startOffset = *endOffset = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int offset) const override {
        const QString value = Value();
        if (offset < 0 || offset >= value.size()) return {};
        const QFontMetrics metrics(label()->font());
        const QRect area = label()->contentsRect();
        const int x = metrics.horizontalAdvance(value.left(offset));
        const QRect r(area.left() + x, area.top(), metrics.horizontalAdvance(value.at(offset)), metrics.height());
        return QRect(label()->mapToGlobal(r.topLeft()), r.size());
    }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = offset;
        return {};
    }

private:
    QLabel* label() const { return static_cast<QLabel*>(widget()); }
    // A caption's mnemonic marker is not read.
    QString Value() const {
        const QString text = label()->text();
        return label()->buddy() ? QString::fromStdString(PlainText(text.toStdString())) : text;
    }
    bool ShowsValue() const {
        return !label()->objectName().isEmpty() && !label()->accessibleName().isEmpty() &&
               label()->accessibleName() != label()->text();
    }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className == QLatin1String("QComboBox"))
        if (auto* box = qobject_cast<QComboBox*>(object)) return new AccessibleDropDown(box);
    // Decided per label when it is read: the interface is made when the
    // label is, before the program names it.
    if (className == QLatin1String("QLabel"))
        if (auto* label = qobject_cast<QLabel*>(object)) return new AccessibleLabel(label);
    return nullptr;
}

}  // namespace

void InstallAccessibleNames() {
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    (void)installed;
}
