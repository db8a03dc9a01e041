#include "RowIcons.h"

#include <array>

#include "syslog/LogListCtrl.h"

// The resources live in a static library: register them before first use.
static void InitResources() {
    Q_INIT_RESOURCE(QuendraReport);
}

namespace qui {

namespace {

constexpr std::array<const char*, 8> kRowImages = {
    ":/quendra/row0-plain.xpm",   ":/quendra/row1-abnormal.xpm", ":/quendra/row2-remote.xpm",
    ":/quendra/row3-command.xpm", ":/quendra/row4-other.xpm",    ":/quendra/row5-signal.xpm",
    ":/quendra/row6-power.xpm",   ":/quendra/row7-devinfo.xpm",
};
static_assert(kRowImages.size() == LOG_IMAGE_DEVINFO + 1);

void EnsureResources() {
    static const bool done = (InitResources(), true);
    (void)done;
}

}  // namespace

const QIcon& RowIcon(int image) {
    EnsureResources();
    static const std::array<QIcon, kRowImages.size()> icons = [] {
        std::array<QIcon, kRowImages.size()> all;
        for (std::size_t i = 0; i < kRowImages.size(); ++i)
            all[i] = QIcon(QString::fromLatin1(kRowImages[i]));
        return all;
    }();
    static const QIcon none;
    if (image < 0 || static_cast<std::size_t>(image) >= icons.size()) return none;
    return icons[static_cast<std::size_t>(image)];
}

const QIcon& AppIcon() {
    EnsureResources();
    static const QIcon icon(QStringLiteral(":/quendra/QuendraReport.xpm"));
    return icon;
}

}  // namespace qui
