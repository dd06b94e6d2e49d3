#include "gui/device_table_model.h"

#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace marlowen::gui {

namespace {
// Identifier, then the field shown.
const char* const kColumns[] = {
    "Name",          "strDeviceType", "strIOSVersion",    "strDeviceBackUpTime", "strDeviceSerial",
    "strDeviceSize", "itunesVersion", "backupSizeOnDisk", "bEncrypted"};
constexpr int kColumnCount = static_cast<int>(std::size(kColumns));
constexpr int kBackupSizeColumn = 7;
constexpr int kLockColumn = 8;

// A padlock, drawn rather than taken from an icon theme, which a desktop
// may not have.
QPixmap lockMark() {
    static const QPixmap mark = [] {
        const qreal ratio = 2;  // sharp on high-density screens too
        QPixmap pixmap(QSize(14, 14) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor ink(90, 90, 90);
        p.setPen(QPen(ink, 1.6));
        p.setBrush(Qt::NoBrush);
        QPainterPath shackle;
        shackle.moveTo(4.2, 7);
        shackle.lineTo(4.2, 4.6);
        shackle.arcTo(QRectF(4.2, 1.6, 5.6, 6), 180, -180);
        shackle.lineTo(9.8, 7);
        p.drawPath(shackle);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawRoundedRect(QRectF(2.5, 6.5, 9, 6.5), 1.2, 1.2);
        return pixmap;
    }();
    return mark;
}

}  // namespace

DeviceTableModel::DeviceTableModel(ZNIOSDeviceController& controller, QObject* parent)
    : QAbstractTableModel(parent), controller_(controller) {}

int DeviceTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(controller_.count());
}

int DeviceTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QString DeviceTableModel::columnIdentifier(int column) const {
    return column >= 0 && column < kColumnCount ? QString::fromLatin1(kColumns[column]) : QString();
}

DeviceNodePtr DeviceTableModel::nodeAt(int row) const {
    if (row < 0 || row >= static_cast<int>(controller_.count())) return nullptr;
    return controller_.content()[static_cast<std::size_t>(row)];
}

QVariant DeviceTableModel::data(const QModelIndex& index, int role) const {
    if (!isRowInRange(index)) return {};
    const DeviceNodePtr node = nodeAt(index.row());
    if (!node) return {};
    if (index.column() == kLockColumn) {
        if (!node->bEncrypted()) return {};
        if (role == Qt::DecorationRole) return lockMark();
        if (role == Qt::ToolTipRole)
            return tr("Encrypted: the backup's password is needed to scan it.");
        if (role == Qt::AccessibleTextRole) return tr("Encrypted");
        return {};
    }
    if (role == Qt::DecorationRole) {
        if (index.column() != 0 || node->deviceImage().empty()) return {};
        return QPixmap(
            QStringLiteral(":/images/%1.png").arg(QString::fromStdString(node->deviceImage())));
    }
    if (role == Qt::TextAlignmentRole && index.column() == kBackupSizeColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    switch (index.column()) {
        case 0:
            return QString::fromStdString(node->strDeviceName());
        case 1:
            // The model name is a display key with itself as fallback; products
            // the old table does not know get their name from the modern one,
            // and a product newer than both shows its product type.
            if (!node->strDeviceType().empty()) return tr(node->strDeviceType().c_str());
            return QString::fromStdString(node->modelName().empty() ? node->productType()
                                                                    : node->modelName());
        case 2:
            return QString::fromStdString(node->strIOSVersion());
        case 3:
            return QString::fromStdString(node->strDeviceBackUpTime());
        case 4:
            return QString::fromStdString(node->strDeviceSerial());
        case 5:
            return QString::fromStdString(node->strDeviceSize());
        case 6:
            return QString::fromStdString(node->itunesVersion());
        case kBackupSizeColumn:
            if (node->backupSizeOnDisk() == 0) return QString();
            return QLocale().formattedDataSize(static_cast<qint64>(node->backupSizeOnDisk()), 1,
                                               QLocale::DataSizeSIFormat);
        default:
            return {};
    }
}

QVariant DeviceTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (section == kLockColumn && role == Qt::ToolTipRole) return tr("Encrypted");
    if (role == Qt::TextAlignmentRole && section == kBackupSizeColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    switch (section) {
        case 0:
            return tr("Name");
        case 1:
            return tr("Model");
        case 2:
            return tr("iOS");
        case 3:
            return tr("Backup Time");
        case 4:
            return tr("Serial Number");
        case 5:
            return tr("Size");
        case 6:
            return tr("iTunes Version");
        case kBackupSizeColumn:
            return tr("Backup Size");
        default:
            return {};
    }
}

}  // namespace marlowen::gui
