// TMaskEdit: the date and time fields. Separators are fixed, digit positions
// are either required or may stay empty; an empty position is kept as a
// blank in the stored text so that every character keeps its place.
#pragma once

#include <QLineEdit>

namespace ta::ui {

class TMaskEdit : public QLineEdit {
    Q_OBJECT
public:
    // qtMask in QLineEdit's notation ("0" optional digit, "9" required digit),
    // always with "_" as the blank.
    TMaskEdit(const QString& qtMask, QWidget* parent = nullptr);

    // DD-MM-YYYY, day and month digits optional.
    static TMaskEdit* dateField(QWidget* parent = nullptr);
    // HH:MM:SS, the first hour digit optional.
    static TMaskEdit* timeField(QWidget* parent = nullptr);

    // The stored form: separators included, empty positions as blanks.
    QString storedText() const;
    // Each character goes to its own position; blanks leave it empty.
    void setStoredText(const QString& text);

    // Whether every required position holds a digit.
    bool complete() const { return hasAcceptableInput(); }
    // The first position still waiting for a required digit, or -1.
    int firstIncompletePosition() const;

    static QString invalidInputText();
    // Whether the field may be left now; when not, the refusal is shown as
    // on leaving it. A command given while the field keeps the focus asks.
    bool acceptsLeaving();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void refuseExit();
    void abandonChanges();

    QString requiredPositions_; // 'r' for a required digit, else ' '
    // What Escape brings back. Kept from the user's entry into the field
    // until the field is left for good: the focus returning after a refusal,
    // or after a switch to another window, is no new entry.
    QString textOnEntry_;
    bool inside_ = false;       // entered and not left for another field since
    bool refused_ = false;      // left half filled; not yet mended or abandoned
    bool refusalShown_ = false; // the refusal's message box is up
};

} // namespace ta::ui
