// Shared set-up of the detail editor tests: an editor over its own context,
// with the message boxes and file dialogs answered by the test.
#pragma once

#include "link/Context.h"
#include "ui/Messages.h"
#include "ui/ProfileDialogs.h"
#include "ui/detail.h"

#include <QStringList>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace ta::ui::testing {

// The switches the editor is built for.
inline link::Switches switchesWith(bool countryOption, bool x25OnD = false, bool sysDateTime = true)
{
    link::Switches s;
    s.countryOption = countryOption;
    s.x25OnD = x25OnD;
    s.sysDateTime = sysDateTime;
    return s;
}

struct EditorHarness {
    explicit EditorHarness(link::Switches switches = {}, uint8_t taVariant = 2)
    {
        ctx.switches = switches;
        ctx.taVariant = taVariant;
        setMessageHandler([this](const QString& text, bool isConfirmation) {
            (isConfirmation ? confirmations : messages).append(text);
            return confirmAnswer;
        });
        editor = std::make_unique<TfDetail>(ctx, dialogs);
    }
    ~EditorHarness()
    {
        setMessageHandler(nullptr);
        ProfileDialogs::setChooser(nullptr);
        TfDetail::setUpgradeFileChooser(nullptr);
    }

    template <class T>
    T* control(const char* name) const
    {
        T* found = editor->control<T>(QString::fromLatin1(name));
        if (!found)
            ADD_FAILURE() << "no control " << name;
        return found;
    }

    link::AppContext ctx;
    ProfileDialogs dialogs;
    std::unique_ptr<TfDetail> editor;
    QStringList messages;
    QStringList confirmations;
    bool confirmAnswer = true;
};

// The tree as indented captions, one per node in display order.
inline QStringList treeOutline(const QTreeWidget* tree)
{
    QStringList lines;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(tree)); *it; ++it) {
        int depth = 0;
        for (const QTreeWidgetItem* p = (*it)->parent(); p; p = p->parent())
            ++depth;
        lines.append(QString(depth, QLatin1Char(' ')) + (*it)->text(0));
    }
    return lines;
}

} // namespace ta::ui::testing
