#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QTextBrowser;
class QToolButton;
class QUrl;

// The help pages, shown by the program itself so that no web browser is
// needed: the page of the language in use, its links, back and forward, and
// a find field. A window of its own beside the main window, not modal.
class HelpWindow : public QWidget
{
    Q_OBJECT

  public:
    explicit HelpWindow(QWidget *parent = nullptr);

    QTextBrowser *Browser = nullptr;
    QToolButton *BackButton = nullptr;
    QToolButton *ForwardButton = nullptr;
    QLabel *FindLabel = nullptr;
    QLineEdit *FindEdit = nullptr;
    QToolButton *FindNextButton = nullptr;
    QLabel *NotFoundLabel = nullptr;

    // Shows a help page (a file of the program folder, as Help finds it) in
    // front, with the texts of the language in force. Another page than the
    // one shown starts a new history.
    void showFile(const QString &path);

    // The language in force changed: the window's own texts follow, and so
    // does the page when the language names another one that is there.
    void followLanguage();

    // A link of the page: a place in it, or another page of the program
    // folder, is shown here; a web address or mail link goes to the desktop
    // (and is shown for copying when nothing opens it); anything else is not
    // followed.
    void followLink(const QUrl &link);

    // Finds the text after the cursor (before it, backward), going round
    // the page once. False when the page does not hold it; the selection
    // then stays where it was.
    bool find(const QString &text, bool backward = false);

  private:
    void setTexts();
    QString m_folder; // the only folder pages and pictures come from
};
