#include "app/ImageList.h"

#include <QHash>
#include <array>

namespace {

constexpr std::array<const char*, 18> ImageFiles = {
    "00-cascade",       "01-tile-horizontal", "02-tile-vertical", "03-exit",
    "04-settings",      "05-start",           "06-connect",       "07-filter",
    "08-scripts",       "09-about",           "10-help",          "11-add",
    "12-view",          "13-edit",            "14-delete",        "15-marker-right",
    "16-marker-left",   "17-spreadsheet",
};

} // namespace

QIcon ImageListIcon(ImageSlot slot)
{
    static QHash<int, QIcon> cache;
    const int index = static_cast<int>(slot);
    if (index < 0 || index >= static_cast<int>(ImageFiles.size()))
        return {};
    auto found = cache.constFind(index);
    if (found != cache.constEnd())
        return *found;
    QIcon icon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(ImageFiles[index])));
    cache.insert(index, icon);
    return icon;
}

QIcon ProgramIcon()
{
    return QIcon(QStringLiteral(":/icons/quillon.svg"));
}
