#pragma once
// The simulated marketplace's item pictures, served by the service itself so that the windows
// show real images without the internet: every item has one, drawn from its number (the same
// item always looks the same), as the marketplace names them: the picture's address, and that
// address with "_WxH.jpg" appended for a smaller copy.
#include <QByteArray>
#include <QString>

// The address of an item's picture, relative to the service (its host is the service's).
QString KxItemPicturePath(const QString& numIid);
// The PNG image an address names; empty when it names none.
QByteArray KxItemPictureAt(const QString& path);
