// TFilterAlignEdit: the single-line field for telephone numbers and
// sub-addresses. It takes only the characters of its ValidChars set, can
// refuse to be left empty and aligns its text.
#pragma once

#include <QLineEdit>

#include <bitset>
#include <functional>

namespace ta::ui {

// A set over the 8-bit character codes, filled from texts such as
// "[0..9,-,']']": elements end at "," or "]", dots make a range and an
// apostrophe takes the next character literally. It only ever grows.
class CharSet {
public:
    bool isEmpty() const { return bits_.none(); }
    bool contains(QChar c) const { return c.unicode() < 256 && bits_.test(c.unicode()); }
    // Adds the elements of a text that starts with "[" and ends with "]".
    void addElements(QStringView text);

private:
    void addRange(int low, int high);
    std::bitset<256> bits_;
};

// True when the focus arrived by keyboard or program rather than by a click.
bool enteredWithoutClick(const QFocusEvent* event);

// The characters a key press types; none for shortcuts such as Ctrl+C.
QString typedText(const QKeyEvent* event);

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

class TFilterAlignEdit : public QLineEdit {
    Q_OBJECT
public:
    // Shows the required-field warning; the default is a modal warning box.
    using WarningHandler = std::function<void(QWidget* field, const QString& text)>;

    explicit TFilterAlignEdit(QWidget* parent = nullptr);

    const QString& ValidChars() const { return validChars_; }
    void setValidChars(const QString& text);
    bool RequiredField() const { return requiredField_; }
    void setRequiredField(bool on) { requiredField_ = on; }
    TAlignment Alignment() const { return alignment_; }
    void setAlignment(TAlignment alignment);
    bool AutoSelect() const { return autoSelect_; }
    void setAutoSelect(bool on) { autoSelect_ = on; }

    // Whether a typed character gets into the field; pasted text is not
    // filtered, only cut at its first line.
    bool accepts(QChar c) const;

    static QString requiredWarningText();
    // nullptr restores the modal warning box.
    static void setWarningHandler(WarningHandler handler);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool refusesTyped(const QString& text) const;
    void insistIfEmpty();

    QString validChars_ = QStringLiteral("[]");
    CharSet charSet_;
    bool requiredField_ = false;
    TAlignment alignment_ = taLeftJustify;
    bool autoSelect_ = true;
};

} // namespace ta::ui
