#pragma once

#include <QDialog>

class QLabel;

// The About box: what the program is for, the maker's contact data and the
// program version.
class TForm2 : public QDialog
{
    Q_OBJECT

  public:
    explicit TForm2(QWidget *parent = nullptr);

    QLabel *Image1 = nullptr;  // the maker's logo, loaded with the language
    QLabel *Label11 = nullptr; // version

  protected:
    void showEvent(QShowEvent *event) override;
};
