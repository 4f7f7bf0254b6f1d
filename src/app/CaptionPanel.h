#pragma once

#include <QFrame>

// A raised panel with a caption of its own drawn at its left edge, with
// other controls placed over it; a click anywhere on the panel itself is
// reported.
class CaptionPanel : public QFrame
{
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)

  public:
    explicit CaptionPanel(QWidget *parent = nullptr);

    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);

  signals:
    void clicked();

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

  private:
    QString m_caption;
};
