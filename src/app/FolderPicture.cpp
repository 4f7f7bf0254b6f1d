#include "app/FolderPicture.h"

#include "platform/SafeFile.h"

#include <QBuffer>
#include <QImageReader>

namespace FolderPicture
{

QImage load(const QString &folder, const QString &name)
{
    const SafeFile::Contents file = SafeFile::readInFolder(folder, name, SafeFile::PictureLimit);
    if (!file.ok())
        return QImage();
    QBuffer buffer;
    buffer.setData(file.bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // A few kilobytes of a compressed picture can claim gigapixels: a picture
    // that would decode to more than a big screen's worth is not shown.
    reader.setAllocationLimit(64);
    return reader.read();
}

} // namespace FolderPicture
