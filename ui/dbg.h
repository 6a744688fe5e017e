// TfDBG: the debug log. With the debug switch on it shows every command
// sent and every line received, in time order; a double click empties it.
#pragma once

#include "link/Context.h"

#include <QPlainTextEdit>
#include <QWidget>

#include <string_view>

namespace ta::ui {

// ", X25_D: 0, USB Spt: 1, Force RCFG: 1" for the switches given.
QString debugHeaderLine(const ta::link::Switches& switches);

class TfDBG : public QWidget {
    Q_OBJECT
public:
    explicit TfDBG(QWidget* parent = nullptr);

    // Shows the window and writes its first line only when the debug switch
    // is on; then hands the focus to mainWindow (if any).
    void FormCreate(const ta::link::AppContext& context, QWidget* mainWindow = nullptr);

    void appendLine(const QString& line);
    // Bytes from the TA: 8-bit characters, one to one.
    void appendLine(std::string_view bytes);
    QStringList lines() const;
    void meDBGDblClick();

    QPlainTextEdit* const meDBG;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
};

} // namespace ta::ui
