#pragma once

#include <QFrame>
#include <QList>

class QLabel;

// The main window's status bar: seven fixed-width panels side by side. A
// click anywhere on the bar is reported as one click of the bar.
class StatusPanels : public QFrame
{
    Q_OBJECT

  public:
    explicit StatusPanels(QWidget *parent = nullptr);

    static constexpr int Count = 7;

    QString panelText(int index) const;
    void setPanelText(int index, const QString &text);
    int panelWidth(int index) const;
    QLabel *panel(int index) const { return m_panels.value(index); }

  signals:
    void clicked();

  protected:
    void mouseReleaseEvent(QMouseEvent *event) override;

  private:
    QList<QLabel *> m_panels;
};
