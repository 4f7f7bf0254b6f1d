#pragma once

#include <QDialog>

class QLabel;

// The About box: what the program is for, the maker's contact data and the
// program version. The logo and the web and mail texts are clickable.
class TForm2 : public QDialog
{
    Q_OBJECT

  public:
    explicit TForm2(QWidget *parent = nullptr);

    QLabel *Image1 = nullptr;  // the maker's logo, loaded with the language
    QLabel *Label7 = nullptr;  // the author's notice, a mail link to the author
    QLabel *Label8 = nullptr;  // web link
    QLabel *Label9 = nullptr;  // mail link to the maker
    QLabel *Label10 = nullptr; // "Verze:"
    QLabel *Label11 = nullptr; // version

    // The author of the program, reached from the notice under the version.
    static const char *const authorAddress;

    // The link targets, as the clicks hand them to the desktop; empty when
    // the language gives no web address (http, https) or no plain mail
    // address, and the click then opens nothing.
    static QString webLink();
    static QString makerMailLink();
    static QString authorMailLink();

  protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};
