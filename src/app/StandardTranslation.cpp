#include "app/StandardTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace StandardTranslation
{

namespace
{

std::unique_ptr<QTranslator> &installed()
{
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

QString &installedName()
{
    static QString name;
    return name;
}

} // namespace

bool install(const QString &localeName)
{
    if (localeName == installedName() && (installed() || localeName.isEmpty()))
        return true;
    if (installed()) {
        QCoreApplication::removeTranslator(installed().get());
        installed().reset();
    }
    installedName().clear();
    if (localeName.isEmpty() || localeName.compare(QLatin1String("en"), Qt::CaseInsensitive) == 0)
        return true;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_") + localeName,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed() = std::move(translator);
    installedName() = localeName;
    return true;
}

QString current()
{
    return installedName();
}

} // namespace StandardTranslation
