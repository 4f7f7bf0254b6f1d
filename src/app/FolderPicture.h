#pragma once

#include <QImage>
#include <QString>

// A picture the program shows from its folder: a help page's image or the
// About box's logo. Only a regular file inside the folder, of at most
// SafeFile::PictureLimit bytes, whose image needs no more memory than a
// picture of a window may; anything else is a null image. Nothing is ever
// fetched from elsewhere, and a name that is a named pipe or a device never
// holds the program.
namespace FolderPicture
{

QImage load(const QString &folder, const QString &name);

} // namespace FolderPicture
