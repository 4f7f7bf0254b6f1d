#include "app/MenuHotkeys.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSet>

namespace MenuHotkeys
{

namespace
{

// Where the caption's first marker stands (the index of its "&"), or -1.
qsizetype markerAt(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&'))
            continue;
        if (caption[i + 1] != QLatin1Char('&'))
            return i;
        ++i; // "&&": an ampersand
    }
    return -1;
}

// The caption without markers; "&&" stays as it is.
QString withoutMarkers(const QString &caption)
{
    QString plain;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&')) {
            plain += caption[i];
        } else if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&')) {
            plain += QLatin1String("&&");
            ++i;
        }
    }
    return plain;
}

QString key(QChar c)
{
    return QString(c).toLower();
}

} // namespace

QStringList marked(const QStringList &captions)
{
    QStringList out = captions;
    QSet<QString> taken;
    QList<qsizetype> unmarked;
    for (qsizetype n = 0; n < out.size(); ++n) {
        const qsizetype at = markerAt(out[n]);
        if (at >= 0 && out[n][at + 1].isLetterOrNumber() && !taken.contains(key(out[n][at + 1]))) {
            taken.insert(key(out[n][at + 1]));
            // A second marker would be shown as one more underline.
            out[n] = out[n].left(at + 1) + withoutMarkers(out[n].mid(at + 1));
            continue;
        }
        out[n] = withoutMarkers(out[n]);
        unmarked.append(n);
    }
    for (const qsizetype n : unmarked) {
        QString &caption = out[n];
        for (qsizetype i = 0; i < caption.size(); ++i) {
            if (caption[i] == QLatin1Char('&')) {
                ++i; // "&&"
                continue;
            }
            if (caption[i].isLetterOrNumber() && !taken.contains(key(caption[i]))) {
                taken.insert(key(caption[i]));
                caption.insert(i, QLatin1Char('&'));
                break;
            }
        }
    }
    return out;
}

namespace
{

void assignLevel(const QList<QAction *> &actions)
{
    QList<QAction *> shown;
    QStringList captions;
    for (QAction *a : actions) {
        if (a->isSeparator() || !a->isVisible() || a->text().trimmed().isEmpty())
            continue;
        shown.append(a);
        captions.append(a->text());
    }
    const QStringList marks = marked(captions);
    for (qsizetype n = 0; n < shown.size(); ++n)
        if (shown[n]->text() != marks[n])
            shown[n]->setText(marks[n]);
    for (QAction *a : shown)
        if (QMenu *menu = a->menu())
            assignLevel(menu->actions());
}

} // namespace

void assign(QMenuBar *bar)
{
    if (bar)
        assignLevel(bar->actions());
}

} // namespace MenuHotkeys
