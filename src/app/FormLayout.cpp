#include "app/FormLayout.h"

#include "settings/ParameterTable.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <algorithm>

namespace FormLayout
{

QFont windowFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    return font;
}

template <typename W> static W *named(W *w, const char *name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}

QGroupBox *group(QWidget *parent, const char *name, int x, int y, int w, int h)
{
    auto *g = named(new QGroupBox(parent), name);
    g->setGeometry(x, y, w, h);
    return g;
}

QLabel *label(QWidget *parent, const char *name, int x, int y, int w, int h, bool wrap)
{
    auto *l = named(new QLabel(parent), name);
    l->setGeometry(x, y, w, h);
    l->setWordWrap(wrap);
    l->setAlignment(Qt::AlignLeft | (wrap ? Qt::AlignTop : Qt::AlignVCenter));
    return l;
}

QRadioButton *radio(QWidget *parent, const char *name, int x, int y, int w, bool checked)
{
    auto *r = named(new QRadioButton(parent), name);
    r->setGeometry(x, y, w, 20);
    r->setChecked(checked);
    return r;
}

QCheckBox *check(QWidget *parent, const char *name, int x, int y, int w, bool checked)
{
    auto *c = named(new QCheckBox(parent), name);
    c->setGeometry(x, y, w, 20);
    c->setChecked(checked);
    return c;
}

QLineEdit *paramEdit(QWidget *parent, const char *name, int x, int y, int w, bool cream)
{
    auto *e = named(new QLineEdit(parent), name);
    e->setGeometry(x, y, w, 21);
    QFont bold = e->font();
    bold.setBold(true);
    e->setFont(bold);
    if (const Parameter *param = ParameterTable::byControl(QLatin1String(name))) {
        e->setMaxLength(param->maxLength);
        e->setText(QString::fromUtf8(param->defaultText));
    }
    if (cream) {
        QPalette pal = e->palette();
        pal.setColor(QPalette::Base, QColor(0xFF, 0xFB, 0xF0));
        e->setPalette(pal);
        e->setProperty("cream", true);
    }
    return e;
}

QLabel *codeMark(QWidget *parent, const char *name, const QString &mark, int x, int y)
{
    auto *l = named(new QLabel(mark, parent), name);
    l->setGeometry(x, y, 12, 21);
    QFont bold = l->font();
    bold.setBold(true);
    bold.setPixelSize(13);
    l->setFont(bold);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0x80));
    l->setPalette(pal);
    return l;
}

namespace
{

// Reading order of two siblings: by row (tops within a few pixels count as
// one row), then from the left.
bool readsBefore(const QWidget *a, const QWidget *b)
{
    const int dy = a->y() - b->y();
    if (dy < -6 || dy > 6)
        return dy < 0;
    return a->x() < b->x();
}

void collect(QWidget *container, QList<QWidget *> &out)
{
    QList<QWidget *> kids;
    for (QObject *o : container->children()) {
        auto *w = qobject_cast<QWidget *>(o);
        if (w && !w->isWindow())
            kids.append(w);
    }
    std::stable_sort(kids.begin(), kids.end(), readsBefore);
    for (QWidget *w : kids) {
        // A widget that hands its focus to a child (a tab widget to its tab
        // bar) is reached through that child.
        if ((w->focusPolicy() & Qt::TabFocus) && !w->focusProxy())
            out.append(w);
        collect(w, out);
    }
}

} // namespace

void readingTabOrder(QWidget *root)
{
    QList<QWidget *> order;
    collect(root, order);
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

} // namespace FormLayout
