#include "history/HistoryStore.h"

QString HistoryStore::eventName(Event event)
{
    switch (event) {
    case Event::Read:
        return QStringLiteral("read");
    case Event::BeforeWrite:
        return QStringLiteral("before write");
    case Event::Written:
        return QStringLiteral("written");
    case Event::ReadBack:
        return QStringLiteral("read back");
    }
    return QString();
}
