// Builders of the editor's settings pages. Every control gets its name as
// object name, which is how the binding and the editor find it again.
#pragma once

#include <QString>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QStackedWidget;
class QWidget;

namespace ta::ui {

class TCSpinEdit;
class TFilterAlignEdit;

namespace pages {

// The property that holds a control's own label ("Auto Answer", "Address 0"),
// by which failures and the read-back name the setting.
inline constexpr char kSettingLabel[] = "settingLabel";

// A page of the page area, named "PG" + number; returns the widget that
// holds its groups, stacked top down.
QWidget* addPage(QStackedWidget* area, int number);
// A captioned group appended to the page, its contents on a grid.
QGroupBox* addGroup(QWidget* page, const QString& name, const QString& caption);
QGridLayout* gridOf(QGroupBox* group);
// Number and spin fields wide enough for their digits in the font they show
// (after the page area's font has reached them).
void fitFieldsToFont(QWidget* area);
// A group holding one control, which the group's caption names.
void addSole(QGroupBox* group, QWidget* control);
// Names a control for assistive technology by its own label and the caption
// of the group it is in, so that rows of alike fields can be told apart.
void nameAfter(QWidget* control, const QString& label, const QGridLayout* grid);

QLabel* label(const QString& text);
QLabel* labelFor(const QString& text, QWidget* control);
TFilterAlignEdit* numberEdit(const QString& name, int maxLength);
// The range and unit ("0 to 64 Kbps") are the field's accessible description.
// A number field whose range is the field rule of the setting it is bound to.
TCSpinEdit* spinEdit(const QString& name, int value, const QString& unit = {});
QComboBox* comboBox(const QString& name, const QStringList& items);
QCheckBox* checkBox(const QString& name, const QString& caption, bool checked = false);
QLineEdit* readOnlyField(const QString& name, const QString& text);

// One row of a list of telephone numbers, under "Address" and "SubAddress".
void addPhoneRow(QGridLayout* grid, int row, const QString& rowLabel, TFilterAlignEdit* number,
                 TFilterAlignEdit* subAddress);
// A list of telephone numbers: a heading row, then rows "0".."count-1" of an
// address field (<dnStem>1..) and, when subStem is given, a sub-address field.
void addPhoneRows(QGridLayout* grid, int firstRow, int count, const QString& dnStem,
                  const QString& subStem = {});
// "Mode" with its list below the rows of a phone list.
void addModeRow(QGridLayout* grid, int row, const QString& name, const QStringList& items);
// A caption beside a control and optionally a note after it.
void addLabelled(QGridLayout* grid, int row, const QString& caption, QWidget* control,
                 const QString& note = {});

// The page sets.
void buildDataPortPages(QStackedWidget* area, bool usb);
void buildDevicePages(QStackedWidget* area);
// PG11 / PG31, the last page of a data port.
void buildAdvancePage(QStackedWidget* area, bool usb);

// Item lists shared by several pages.
QStringList clipClirItems();
QStringList inScreenModeItems();
QStringList outScreenModeItems();

} // namespace pages
} // namespace ta::ui
