// TMaskEdit: the date and time fields. Separators are fixed, digit positions
// are either required or may stay empty; an empty position is kept as a
// blank in the stored text so that every character keeps its place. A date
// or time that no calendar or clock has is refused like a half filled one.
#pragma once

#include <QLineEdit>

namespace ta::ui {

// The position of the first part of a stored date (DD-MM-YYYY) or time
// (HH:MM:SS) that cannot be: a month outside 1 to 12, a day the month does
// not have (leap years counted), year 0, an hour outside 0 to 23, a minute
// or second outside 0 to 59. Blanks in a part are left out; a part without
// any digit cannot be. -1 when every part can be.
int impossibleDatePosition(const QString& date);
int impossibleTimePosition(const QString& time);

// The stored text as it goes to the TA: a part with a digit left out ("3 "
// for the third day) is filled up with leading zeros ("03"), the form the
// TA itself reports; a part without any digit stays as it is.
QString zeroFilledParts(const QString& stored);

class TMaskEdit : public QLineEdit {
    Q_OBJECT
public:
    using ValueCheck = int (*)(const QString& stored);

    // qtMask in QLineEdit's notation ("0" optional digit, "9" required digit),
    // always with "_" as the blank. The check finds a value that cannot be;
    // the format is the hint shown while the field holds no digit.
    TMaskEdit(const QString& qtMask, QWidget* parent = nullptr, ValueCheck check = nullptr,
              const QString& format = {});

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
    // Complete, and a value that can be.
    bool acceptable() const;

    static QString invalidInputText();
    // Whether the field may be left now; when not, the refusal is shown as
    // on leaving it. A command given while the field keeps the focus asks.
    bool acceptsLeaving();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool holdsNoDigit() const;
    int firstRefusedPosition() const;
    void refuseExit();
    void abandonChanges();

    QString requiredPositions_; // 'r' for a required digit, else ' '
    ValueCheck check_;
    // What Escape brings back. Kept from the user's entry into the field
    // until the field is left for good: the focus returning after a refusal,
    // or after a switch to another window, is no new entry.
    QString textOnEntry_;
    bool inside_ = false;       // entered and not left for another field since
    bool refused_ = false;      // left half filled; not yet mended or abandoned
    bool refusalShown_ = false; // the refusal's message box is up
};

} // namespace ta::ui
