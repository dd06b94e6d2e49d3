#include "gui/device_table_model.h"

#include <QPixmap>

namespace marlowen::gui {

namespace {
// Identifier, then the field shown.
const char* const kColumns[] = {"Name", "strDeviceType", "strIOSVersion", "strDeviceBackUpTime",
                                "strDeviceSerial", "strDeviceSize", "itunesVersion"};
constexpr int kColumnCount = static_cast<int>(std::size(kColumns));
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
    if (!isRowInRange(index))
        return {};
    const DeviceNodePtr node = nodeAt(index.row());
    if (!node) return {};
    if (role == Qt::DecorationRole) {
        if (index.column() != 0 || node->deviceImage().empty()) return {};
        return QPixmap(QStringLiteral(":/images/%1.png").arg(QString::fromStdString(node->deviceImage())));
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    switch (index.column()) {
    case 0: return QString::fromStdString(node->strDeviceName());
    case 1:
        // The model name is a display key with itself as fallback.
        return node->strDeviceType().empty() ? QString() : tr(node->strDeviceType().c_str());
    case 2: return QString::fromStdString(node->strIOSVersion());
    case 3: return QString::fromStdString(node->strDeviceBackUpTime());
    case 4: return QString::fromStdString(node->strDeviceSerial());
    case 5: return QString::fromStdString(node->strDeviceSize());
    case 6: return QString::fromStdString(node->itunesVersion());
    default: return {};
    }
}

QVariant DeviceTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case 0: return tr("Name");
    case 1: return tr("Model");
    case 2: return tr("iOS");
    case 3: return tr("Backup Time");
    case 4: return tr("Serial Number");
    case 5: return tr("Size");
    case 6: return tr("iTunes Version");
    default: return {};
    }
}

}  // namespace marlowen::gui
