// TCSpinEdit: the numeric field with an up/down button pair used for the
// numeric settings. Its text is the value; bad text reads as MinValue.
#pragma once

#include <QLineEdit>
#include <QToolButton>

#include <functional>
#include <optional>

namespace ta::ui {

// The text as a signed 32-bit decimal (optional sign, then digits only).
std::optional<int> parseInt32(QStringView text);

// A button that repeats its click while held down.
class TTimerSpeedButton : public QToolButton {
    Q_OBJECT
public:
    static constexpr int kInitRepeatPause = 400; // ms before the first repeat
    static constexpr int kRepeatPause = 100;     // ms between repeats

    explicit TTimerSpeedButton(QWidget* parent = nullptr);
    void setAllowTimer(bool on) { setAutoRepeat(on); }
};

// The up/down pair; a press puts the keyboard focus into FocusControl.
class TCSpinButton : public QWidget {
    Q_OBJECT
public:
    explicit TCSpinButton(QWidget* parent = nullptr);

    TTimerSpeedButton* UpButton() const { return up_; }
    TTimerSpeedButton* DownButton() const { return down_; }
    void setFocusControl(QWidget* control) { focusControl_ = control; }

signals:
    void upClick();
    void downClick();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void focusTheControl();

    TTimerSpeedButton* up_;
    TTimerSpeedButton* down_;
    QWidget* focusControl_ = nullptr;
};

class TCSpinEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TCSpinEdit(QWidget* parent = nullptr);

    int MinValue() const { return minValue_; }
    void setMinValue(int value) { minValue_ = value; }
    int MaxValue() const { return maxValue_; }
    void setMaxValue(int value) { maxValue_ = value; }
    int Increment() const { return increment_; }
    void setIncrement(int value) { increment_ = value; }
    bool EditorEnabled() const { return editorEnabled_; }
    void setEditorEnabled(bool on) { editorEnabled_ = on; }

    // The text as a number; bad text is replaced by MinValue.
    int GetValue();
    // Clamped to MinValue..MaxValue, unless both limits are equal.
    int CheckValue(long long value) const;
    void SetValue(long long value);
    // Shows a stored value as it is, also one out of range; leaving the
    // field keeps it until the user edits it.
    void showStored(long long value);
    void UpClick();
    void DownClick();

    TCSpinButton* Button() const { return button_; }
    // Whether a typed character gets into the field. Cut and paste work
    // while the text may be edited; pasted text is filtered like typed text.
    bool isValidChar(QChar c) const;

    // nullptr restores the system beep.
    static void setBeepHandler(std::function<void()> handler);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool textEditable() const { return editorEnabled_ && !isReadOnly(); }
    bool keepsPasted(QChar c) const;
    QString filtered(const QString& text) const;
    void placeButton();

    TCSpinButton* button_;
    int minValue_ = 0;
    int maxValue_ = 0;
    int increment_ = 1;
    bool editorEnabled_ = true;
    bool storedShown_ = false;
};

} // namespace ta::ui
