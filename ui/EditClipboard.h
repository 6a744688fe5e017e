// The clipboard side of the program's own line edits. A paste takes the
// clipboard's first line, drops the characters the field refuses and
// replaces the selection, cut at the maximum length; the paste key, the
// context menu's Paste and a middle click (the selection) all paste that
// way. While the field's text may not be edited, cut and paste are refused.
#pragma once

#include <QClipboard>
#include <QObject>

#include <functional>

class QAction;
class QContextMenuEvent;
class QKeyEvent;
class QLineEdit;
class QMenu;
class QMouseEvent;

namespace ta::ui {

// The clipboard text up to, not including, its first control character.
QString firstLineOf(const QString& text);

// An action of QLineEdit's standard context menu, by its object name (newer
// Qt) or by the start of its label ("&Paste", translated like Qt's own).
struct StandardEditAction {
    const char* objectName;
    const char* label;
};
inline constexpr StandardEditAction kPasteAction{"edit-paste", "&Paste"};
inline constexpr StandardEditAction kCutAction{"edit-cut", "Cu&t"};
inline constexpr StandardEditAction kDeleteAction{"edit-delete", "Delete"};
QAction* findMenuAction(const QMenu* menu, StandardEditAction which);

// The field's own part of the clipboard rules.
struct PasteRule {
    // Whether cut and paste may change the text now.
    std::function<bool()> editable;
    // Whether a pasted character is kept; unset keeps every character.
    std::function<bool(QChar)> keeps;
    // Tells the user a cut or paste was refused or lost characters; may be unset.
    std::function<void()> refused;
};

// Watches a field's clipboard keys, context menu and middle clicks, and
// turns drops off, since a drop would bypass the rule. The field owns it.
class EditClipboard : public QObject {
    Q_OBJECT
public:
    EditClipboard(QLineEdit* field, PasteRule rule);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void paste(QClipboard::Mode mode);
    bool handleKey(QKeyEvent* event);
    void showMenu(const QContextMenuEvent* event);
    bool handleMiddleClick(QMouseEvent* event);
    void refuse() const;

    QLineEdit* field_;
    PasteRule rule_;
};

} // namespace ta::ui
