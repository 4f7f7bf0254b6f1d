#include "app/HelpWindow.h"

#include "app/AddressOpener.h"
#include "app/DialogPlacement.h"
#include "app/FolderPicture.h"
#include "app/FormFont.h"
#include "app/Glyphs.h"
#include "lang/LanguageTexts.h"
#include "platform/SafeFile.h"
#include "platform/ShellOpen.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace
{

// Shows what the program folder holds and nothing else: a page could name
// any file of the computer, a named pipe or an endless device as a picture,
// a style sheet or a link. Every resource is answered here, refusals
// included: the text document would load one that no one answers for itself,
// and the picture code would then try the name as a file of its own.
class FolderBrowser : public QTextBrowser
{
  public:
    FolderBrowser(QWidget *parent, const QString &folder) : QTextBrowser(parent), m_folder(folder) {}

    QVariant loadResource(int type, const QUrl &name) override
    {
        const QUrl url = name.isRelative() ? source().resolved(name) : name;
        const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
        if (type == QTextDocument::ImageResource) {
            const QImage picture = path.isEmpty() ? QImage() : FolderPicture::load(m_folder, path);
            return picture.isNull() ? nothing() : picture;
        }
        // A page only when it is one of the help pages; a style sheet or
        // anything else when it is a file of the folder.
        if (type == QTextDocument::HtmlResource &&
            (path.isEmpty() || QFileInfo(path).absolutePath() != m_folder ||
             ShellOpen::helpFile(m_folder, QFileInfo(path).fileName()).isEmpty()))
            return QByteArray("");
        const SafeFile::Contents file = path.isEmpty()
                                            ? SafeFile::Contents()
                                            : SafeFile::readInFolder(m_folder, path, SafeFile::HelpPageLimit);
        return file.ok() ? file.bytes : QByteArray("");
    }

    // Back and Forward return to the place the reader left. A link clicked
    // keeps the keyboard's place in the page (the frame around it), and the
    // history would scroll back to that link over the place it saved: it is
    // let go first, the view left where it is.
    void backward() override
    {
        letGoOfLink();
        QTextBrowser::backward();
    }
    void forward() override
    {
        letGoOfLink();
        QTextBrowser::forward();
    }

  private:
    void letGoOfLink()
    {
        QTextCursor cursor = textCursor();
        if (!cursor.hasSelection())
            return;
        const QPoint scrolled(horizontalScrollBar()->value(), verticalScrollBar()->value());
        cursor.clearSelection();
        setTextCursor(cursor);
        horizontalScrollBar()->setValue(scrolled.x());
        verticalScrollBar()->setValue(scrolled.y());
    }

    // A picture that is not there: shown as nothing at all.
    static QImage nothing()
    {
        QImage none(1, 1, QImage::Format_ARGB32);
        none.fill(Qt::transparent);
        return none;
    }
    const QString &m_folder;
};

} // namespace

HelpWindow::HelpWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setFont(formFont());
    setWindowIcon(Glyphs::program());
    resize(680, 560);
    DialogPlacement::centreAtEveryShowing(this);

    auto tool = [this](const char *name, QStyle::StandardPixmap icon) {
        auto *b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        if (icon != QStyle::SP_CustomBase)
            b->setIcon(style()->standardIcon(icon));
        return b;
    };
    BackButton = tool("BackButton", QStyle::SP_ArrowBack);
    ForwardButton = tool("ForwardButton", QStyle::SP_ArrowForward);
    FindLabel = new QLabel(this);
    FindEdit = new QLineEdit(this);
    FindEdit->setObjectName(QStringLiteral("FindEdit"));
    FindEdit->setClearButtonEnabled(true);
    FindEdit->setMinimumWidth(160);
    FindLabel->setBuddy(FindEdit);
    FindNextButton = tool("FindNextButton", QStyle::SP_ArrowDown);
    NotFoundLabel = new QLabel(this);
    QPalette red = NotFoundLabel->palette();
    red.setColor(QPalette::WindowText, QColor(0xB0, 0x00, 0x00));
    NotFoundLabel->setPalette(red);
    NotFoundLabel->hide();

    auto *browser = new FolderBrowser(this, m_folder);
    Browser = browser;
    Browser->setObjectName(QStringLiteral("Browser"));
    // Every link is looked at first (followLink).
    Browser->setOpenLinks(false);
    QFont page = font();
    page.setPixelSize(13);
    Browser->setFont(page);
    // A long command line wraps like the text around it rather than
    // widening the page.
    Browser->document()->setDefaultStyleSheet(QStringLiteral("pre { white-space: pre-wrap; }"));

    auto *bar = new QHBoxLayout;
    bar->addWidget(BackButton);
    bar->addWidget(ForwardButton);
    bar->addStretch(1);
    bar->addWidget(NotFoundLabel);
    bar->addWidget(FindLabel);
    bar->addWidget(FindEdit);
    bar->addWidget(FindNextButton);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->addLayout(bar);
    column->addWidget(Browser, 1);

    BackButton->setEnabled(false);
    ForwardButton->setEnabled(false);
    connect(Browser, &QTextBrowser::backwardAvailable, BackButton, &QWidget::setEnabled);
    connect(Browser, &QTextBrowser::forwardAvailable, ForwardButton, &QWidget::setEnabled);
    connect(BackButton, &QToolButton::clicked, Browser, &QTextBrowser::backward);
    connect(ForwardButton, &QToolButton::clicked, Browser, &QTextBrowser::forward);
    connect(Browser, &QTextBrowser::anchorClicked, this, &HelpWindow::followLink);
    connect(Browser, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = Browser->documentTitle();
        setWindowTitle(title.isEmpty() ? LanguageTexts::text(Text::HelpMenu) : title);
    });

    connect(FindEdit, &QLineEdit::returnPressed, this, [this] { find(FindEdit->text()); });
    connect(FindEdit, &QLineEdit::textEdited, NotFoundLabel, &QWidget::hide);
    connect(FindNextButton, &QToolButton::clicked, this, [this] { find(FindEdit->text()); });
    auto key = [this](const QKeySequence &sequence, auto action) {
        connect(new QShortcut(sequence, this), &QShortcut::activated, this, action);
    };
    key(QKeySequence::Find, [this] {
        FindEdit->setFocus(Qt::ShortcutFocusReason);
        FindEdit->selectAll();
    });
    key(QKeySequence::FindNext, [this] { find(FindEdit->text()); });
    key(QKeySequence::FindPrevious, [this] { find(FindEdit->text(), true); });
    key(QKeySequence(Qt::SHIFT | Qt::Key_Return), [this] { find(FindEdit->text(), true); });
    key(QKeySequence::Back, [this] { Browser->backward(); });
    key(QKeySequence::Forward, [this] { Browser->forward(); });
    key(QKeySequence(Qt::Key_Escape), [this] { close(); });
}

void HelpWindow::setTexts()
{
    BackButton->setText(LanguageTexts::text(Text::Back));
    ForwardButton->setText(LanguageTexts::text(Text::Forward));
    FindLabel->setText(LanguageTexts::text(Text::Find));
    FindNextButton->setText(LanguageTexts::text(Text::FindNext));
    NotFoundLabel->setText(LanguageTexts::text(Text::TextNotFound));
}

void HelpWindow::followLanguage()
{
    setTexts();
    const QString page = ShellOpen::helpFile(m_folder, LanguageTexts::text(Text::HelpFile));
    if (page.isEmpty() || QFileInfo(page).absoluteFilePath() == Browser->source().toLocalFile())
        return;
    Browser->setSource(QUrl::fromLocalFile(QFileInfo(page).absoluteFilePath()));
    Browser->clearHistory();
}

void HelpWindow::showFile(const QString &path)
{
    setTexts();
    const QFileInfo file(path);
    m_folder = file.absolutePath();
    if (Browser->source().toLocalFile() != file.absoluteFilePath()) {
        Browser->setSource(QUrl::fromLocalFile(file.absoluteFilePath()));
        Browser->clearHistory();
    }
    show();
    raise();
    activateWindow();
    Browser->setFocus(Qt::OtherFocusReason); // the page scrolls with the keys at once
}

void HelpWindow::followLink(const QUrl &link)
{
    const QUrl target = Browser->source().resolved(link);
    const QString scheme = target.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
        AddressOpener::open(this, ShellOpen::webAddress(target.toString()));
    } else if (scheme == QLatin1String("mailto")) {
        AddressOpener::open(this, ShellOpen::mailLink(target.path(), LanguageTexts::text(Text::MailSubject)));
    } else if (target.isLocalFile()) {
        const QFileInfo file(target.toLocalFile());
        if (file.absolutePath() != m_folder)
            return;
        const QString page = ShellOpen::helpFile(m_folder, file.fileName());
        if (page.isEmpty())
            return;
        QUrl shown = QUrl::fromLocalFile(page);
        shown.setFragment(target.fragment());
        Browser->setSource(shown);
    }
}

bool HelpWindow::find(const QString &what, bool backward)
{
    if (what.isEmpty())
        return false;
    const QTextDocument::FindFlags flags =
        backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    const QTextCursor before = Browser->textCursor();
    const QPoint scrolled(Browser->horizontalScrollBar()->value(), Browser->verticalScrollBar()->value());
    bool found = Browser->find(what, flags);
    if (!found) {
        QTextCursor round = before;
        round.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
        Browser->setTextCursor(round);
        found = Browser->find(what, flags);
        if (!found) {
            // The reader stays where he was reading.
            Browser->setTextCursor(before);
            Browser->horizontalScrollBar()->setValue(scrolled.x());
            Browser->verticalScrollBar()->setValue(scrolled.y());
        }
    }
    NotFoundLabel->setVisible(!found);
    return found;
}
