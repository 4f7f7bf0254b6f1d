#pragma once

#include "history/DeviceHistory.h"
#include "history/Fleet.h"

#include <QDialog>

#include <optional>

class FleetModel;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

// The history of the program folder, the place to find a communicator: one
// row a serial number (site, the latest entry's date and event,
// technician, firmware) that opens to its entries, newest first. The search
// field leaves the communicators whose serial number, site or any value of
// the latest settings holds what is typed (a telephone number also as
// written with spaces or dashes). An entry is opened into the window or
// compared with it; the site of the chosen communicator can be set.
class HistoryWindow : public QDialog
{
    Q_OBJECT

  public:
    explicit HistoryWindow(QWidget *parent = nullptr);

    // Lists the history with the texts of the language in force.
    void fill(DeviceHistory &history);

    enum class Action { None, Open, Compare };
    // After exec(): what was asked for, and of which entry.
    Action action() const { return m_action; }
    std::optional<Fleet::Entry> chosen() const { return m_chosen; }

    // The communicators the search leaves.
    int shownRows() const;

    // How many entries are not shared yet and why; empty hides the line.
    void setShareState(const QString &text);

    QLineEdit *Search = nullptr;
    QTreeView *Tree = nullptr;
    QPushButton *OpenButton = nullptr;
    QPushButton *CompareButton = nullptr;
    QPushButton *SiteButton = nullptr;
    QPushButton *CloseButton = nullptr;
    QLabel *ShareState = nullptr;

  signals:
    // A site was set: a new entry of the history.
    void siteKept();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void finish(Action action);
    void selectionChanged();
    void setSite();
    void reload(const QString &serial);

    DeviceHistory *m_history = nullptr;
    FleetModel *m_model = nullptr;
    Action m_action = Action::None;
    std::optional<Fleet::Entry> m_chosen;
};
