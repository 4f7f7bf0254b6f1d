#pragma once

#include <QString>

// Who keeps the entries: the technician named in Config.ini, else the
// login's full name from the user database, else the login's name; the mail
// named in Config.ini, else login@host.
struct HistoryAuthor {
    QString name;
    QString mail;

    // technician, mail: Config.ini's [History] values (may be empty).
    static HistoryAuthor resolve(const QString &technician, const QString &mail);
};
