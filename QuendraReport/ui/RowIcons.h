#pragma once
// The eight row images of the log list (16 x 16, in the order of the
// LOG_IMAGE_* values) and the application icon, from the program's
// resources. GUI thread only.

#include <QIcon>

namespace qui {

// The image of LOG_IMAGE_PLAIN .. LOG_IMAGE_DEVINFO; a null icon outside.
const QIcon& RowIcon(int image);
const QIcon& AppIcon();

}  // namespace qui
