// The backup table: one row per node of the device list. The first column,
// "Name", carries the model-class picture of the device.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include "core/discovery/device_controller.h"

namespace marlowen::gui {

class DeviceTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DeviceTableModel(ZNIOSDeviceController& controller, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Field names of the columns, "Name" first.
    QString columnIdentifier(int column) const;
    DeviceNodePtr nodeAt(int row) const;

    // Brackets a change of the controller's content.
    void beginRefill() { beginResetModel(); }
    void endRefill() { endResetModel(); }

private:
    bool isRowInRange(const QModelIndex& index) const {
        return index.isValid() && index.model() == this && index.row() < rowCount() &&
               index.column() < columnCount();
    }

    ZNIOSDeviceController& controller_;
};

}  // namespace marlowen::gui
