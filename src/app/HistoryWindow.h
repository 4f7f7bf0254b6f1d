#pragma once

#include "history/DeviceHistory.h"

#include <QDialog>

#include <optional>

class QPushButton;
class QTreeWidget;

// The history of the program folder: the settings kept from the
// communicators, grouped by serial number, the newest first, each with its
// date and time, what happened (read, before write, written) and the
// firmware version. An entry is opened into the window or compared with it.
class HistoryWindow : public QDialog
{
    Q_OBJECT

  public:
    explicit HistoryWindow(QWidget *parent = nullptr);

    // Lists the entries (as DeviceHistory::entries() gives them) with the
    // texts of the language in force.
    void fill(const QList<DeviceHistory::Entry> &entries);

    enum class Action { None, Open, Compare };
    // After exec(): what was asked for, and of which entry.
    Action action() const { return m_action; }
    std::optional<DeviceHistory::Entry> chosen() const { return m_chosen; }

    QTreeWidget *Tree = nullptr;
    QPushButton *OpenButton = nullptr;
    QPushButton *CompareButton = nullptr;
    QPushButton *CloseButton = nullptr;

  private:
    void finish(Action action);
    void selectionChanged();

    QList<DeviceHistory::Entry> m_entries;
    Action m_action = Action::None;
    std::optional<DeviceHistory::Entry> m_chosen;
};
