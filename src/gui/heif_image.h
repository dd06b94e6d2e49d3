// HEIC/HEIF pictures (what the camera of recent phones writes) for the
// preview: Qt has no reader for them, libheif decodes them.
#pragma once

#include <QImage>
#include <QString>

namespace marlowen::gui {

// The primary image of a HEIF file, orientation applied; a null image when
// the file is no HEIF picture, is damaged, or is larger than a preview
// should decode.
QImage heifImage(const QString& path);

}  // namespace marlowen::gui
