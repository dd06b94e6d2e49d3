// The parts of the window that stand alone: sort orders, the table models
// under Qt's model tester, the picture-and-text cell geometry, the custom
// controls, and the sheet placement.
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QContextMenuEvent>
#include <QEnterEvent>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

#include "core/discovery/backup_enumeration.h"
#include "gui/default_center.h"
#include "gui/device_table_model.h"
#include "gui/quillon_app_delegate.h"
#include "gui/result_sorting.h"
#include "gui/result_table_model.h"
#include "gui/zn_controls.h"
#include "support/backup_folder.h"
#include "support/temp_dir.h"

using namespace marlowen;
using namespace marlowen::gui;

namespace {

using ContactModel = RecordTableModel<ZNContactNode>;

ContactModel* contactModel(QObject* parent) {
    return new ContactModel({{{QString::fromLatin1(kCheckColumn), QString()}, {}},
                             {{QStringLiteral("Name"), QStringLiteral("Name")},
                              [](const ZNContactNode& n) { return n.contactName(); }}},
                            parent);
}

ContactNodePtr contact(const std::string& name, bool deleted = false) {
    auto n = std::make_shared<ZNContactNode>();
    n->setContactName(name);
    n->setBDeleted(deleted);
    return n;
}

}  // namespace

class TestGuiParts : public QObject {
    Q_OBJECT
private slots:
    void sizeTextsTurnBackIntoByteCounts() {
        QCOMPARE(sizeFormString(""), 0u);
        QCOMPARE(sizeFormString("512.00B"), 512u);
        QCOMPARE(sizeFormString("1.50M"), 1500000u);
        QCOMPARE(sizeFormString("2.00K"), 2000u);
        QCOMPARE(sizeFormString("3.00G"), 3000000000u);
        QCOMPARE(sizeFormString("1.00T"), 1000000000000u);
        QCOMPARE(sizeFormString("  7.00B"), 7u);
        QCOMPARE(sizeFormString("xyzM"), 0u);
        QCOMPARE(sizeFormString("-4.00K"), 0u);
    }

    void photoNamesSortByTheirNumber() {
        QCOMPARE(fileNameNumber("00000012.jpg"), 12u);
        QCOMPARE(fileNameNumber("00000001.mov"), 1u);
        QCOMPARE(fileNameNumber("photo.jpg"), 0u);
        std::vector<PhotoAndVideoNodePtr> list;
        for (const char* name : {"00000010.jpg", "00000002.jpg", "00000001.mov"}) {
            auto n = std::make_shared<ZNPhotoAndVideoNode>();
            n->setFileNodeName(name);
            list.push_back(n);
        }
        auto byNumber = [](const ZNPhotoAndVideoNode& a, const ZNPhotoAndVideoNode& b) {
            return compareValues(fileNameNumber(a.fileNodeName()),
                                 fileNameNumber(b.fileNodeName()));
        };
        sortDisplayList(list, true, byNumber);
        QCOMPARE(list[0]->fileNodeName(), std::string("00000001.mov"));
        QCOMPARE(list[1]->fileNodeName(), std::string("00000002.jpg"));
        QCOMPARE(list[2]->fileNodeName(), std::string("00000010.jpg"));
        sortDisplayList(list, false, byNumber);
        QCOMPARE(list[0]->fileNodeName(), std::string("00000010.jpg"));
    }

    void namesCompareLiterallyAndCallDatesAsInstants() {
        QVERIFY(compareNames("Zoe", "ann") < 0);  // upper case first, as a literal comparison
        QCOMPARE(compareNames("Ann", "Ann"), 0);
        QVERIFY(callDateInstant("12-31-2013 23:59") < callDateInstant("01-01-2014 00:00"));
        QVERIFY(!callDateInstant("not a date").isValid());
    }

    void recordModelPassesTheModelTesterAndAnnouncesCheckClicks() {
        auto* model = contactModel(this);
        QAbstractItemModelTester tester(model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model->setDisplayList({contact("Ann"), contact("Bob", true), contact("Cy")});
        QCOMPARE(model->rowCount(), 3);
        QCOMPARE(model->columnCount(), 2);
        QCOMPARE(model->index(1, 1).data().toString(), QStringLiteral("Bob"));
        QCOMPARE(model->index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QVERIFY(model->flags(model->index(0, 0)) & Qt::ItemIsUserCheckable);
        QVERIFY(!(model->flags(model->index(0, 1)) & Qt::ItemIsUserCheckable));
        QCOMPARE(model->index(1, 1).data(Qt::ForegroundRole).value<QColor>(),
                 ResultTableModel::deletedColour());
        QVERIFY(!model->index(0, 1).data(Qt::ForegroundRole).isValid());
        // Out-of-range rows give nothing instead of reading past the list.
        QVERIFY(!model->data(model->index(7, 1)).isValid());

        QSignalSpy clicks(model, &ResultTableModel::checkBoxClicked);
        QVERIFY(model->setData(model->index(2, 0), Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks.at(0).at(0).toInt(), 2);
        QCOMPARE(clicks.at(0).at(1).toBool(), true);
        // The model only announces; the controller decides which rows change.
        QVERIFY(!model->isChecked(2));
        QVERIFY(!model->setData(model->index(2, 1), Qt::Checked, Qt::CheckStateRole));

        QVERIFY(model->setChecked(2, true));
        QVERIFY(!model->setChecked(2, true));  // no change, no count
        QCOMPARE(model->index(2, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        model->setDisplayList({});
        QCOMPARE(model->rowCount(), 0);
    }

    void deviceModelShowsThePictureInTheNameColumn() {
        fixture::TempDir root;
        fixture::DeviceInfo pad;
        pad.productType = "iPad3,4";
        pad.deviceName = "Tablet";
        pad.uniqueIdentifier = "1111111111111111111111111111111111111111";
        fixture::BackupFolderBuilder::inRoot(root.path()).writePlists();
        fixture::BackupFolderBuilder::inRoot(root.path(), pad).writePlists();
        ZNIOSDeviceController controller;
        DeviceTableModel model(controller);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.beginRefill();
        showIphoneDisk(controller, root.path().string());
        model.endRefill();
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.columnIdentifier(0), QStringLiteral("Name"));
        for (int row = 0; row < 2; ++row) {
            const QPixmap picture = model.index(row, 0).data(Qt::DecorationRole).value<QPixmap>();
            QVERIFY(!picture.isNull());
            QVERIFY(!model.index(row, 1).data(Qt::DecorationRole).isValid());
            const bool isPad = model.index(row, 0).data().toString() == QStringLiteral("Tablet");
            QCOMPARE(model.index(row, 1).data().toString(),
                     isPad ? QStringLiteral("NewIpad") : QStringLiteral("Iphone 5"));
            const QPixmap expected(isPad ? QStringLiteral(":/images/ipad.png")
                                         : QStringLiteral(":/images/iphone.png"));
            QCOMPARE(picture.size(), expected.size());
        }
    }

    void imageCellGeometry() {
        const QSize icon(16, 16);
        const QRect frame(10, 40, 100, 20);
        // Picture one point above the centre: bottom edge at frame y + 17.
        const QRect drawn = ZNImageAndTextCell::drawnImageRect(frame, icon);
        QCOMPARE(drawn.x(), 13);
        QCOMPARE(drawn.y() + drawn.height(), 40 + 17);
        const QRect text = ZNImageAndTextCell::drawnTextRect(frame, icon);
        QCOMPARE(text.top(), 45);
        QCOMPARE(text.left(), 10 + 19);
        QCOMPARE(text.right(), frame.right());
        QCOMPARE(ZNImageAndTextCell::imageRectForBounds(frame, icon), QRect(13, 42, 16, 16));
        QCOMPARE(ZNImageAndTextCell::titleRectForBounds(frame, icon), QRect(29, 40, 81, 20));
        // Without a picture: zero rectangles, text over the whole frame.
        QCOMPARE(ZNImageAndTextCell::titleRectForBounds(frame, QSize()), QRect());
        QCOMPARE(ZNImageAndTextCell::imageRectForBounds(frame, QSize()), QRect());
        QCOMPARE(ZNImageAndTextCell::drawnTextRect(frame, QSize()).left(), 10);
    }

    void imageCellWidensItsSizeByThePicture() {
        QStandardItemModel model(1, 1);
        model.setItem(0, 0, new QStandardItem(QStringLiteral("Ann's phone")));
        QTableView view;
        view.setModel(&model);
        ZNImageAndTextCell cell;
        QStyleOptionViewItem option;
        option.initFrom(&view);
        const QModelIndex index = model.index(0, 0);
        const int plain = cell.sizeHint(option, index).width();
        model.item(0, 0)->setData(QPixmap(QSize(12, 20)), Qt::DecorationRole);
        QCOMPARE(cell.sizeHint(option, index).width(), plain - 3 + 12 + 3);
    }

    void buttonPostsEnterThenExit() {
        ZNButton button;
        std::vector<std::pair<std::string, ZNButton*>> seen;
        ScopedObserver in(defaultCenter(), kZNbuttonMouseEntered, [&](const Notification& n) {
            seen.emplace_back(n.name, std::any_cast<ZNButton*>(n.object));
        });
        ScopedObserver out(defaultCenter(), kZNbuttonMouseExited, [&](const Notification& n) {
            seen.emplace_back(n.name, std::any_cast<ZNButton*>(n.object));
        });
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QApplication::sendEvent(&button, &enter);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&button, &leave);
        QCOMPARE(seen.size(), 2u);
        QCOMPARE(seen[0].first, std::string("ZNbuttonMouseEntered"));
        QCOMPARE(seen[1].first, std::string("ZNbuttonMouseExited"));
        QCOMPARE(seen[0].second, &button);
    }

    void textViewIgnoresTheUser() {
        ZNTextView view;
        view.setString(QStringLiteral("kept"));
        view.show();
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::keyClicks(&view, QStringLiteral("typed"));
        QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5),
                               view.viewport()->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(view.viewport(), &menu);
        QCOMPARE(view.toPlainText(), QStringLiteral("kept"));
        QVERIFY(!view.textCursor().hasSelection());
        QVERIFY(QApplication::activePopupWidget() == nullptr);
    }

    void greyViewColour() {
        const QColor c = ZNView::fillColour();
        QCOMPARE(qRound(c.redF() * 3), 1);
        QCOMPARE(c.red(), c.green());
        QCOMPARE(c.green(), c.blue());
    }

    void sheetsAreLoweredByWindowHeight() {
        QCOMPARE(QuillonAppDelegate::sheetOffsetForFrameHeight(559), 1);
        QCOMPARE(QuillonAppDelegate::sheetOffsetForFrameHeight(537), 1);
        QCOMPARE(QuillonAppDelegate::sheetOffsetForFrameHeight(620), 78);
        QCOMPARE(QuillonAppDelegate::sheetOffsetForFrameHeight(560), 0);
    }
};

QTEST_MAIN(TestGuiParts)
#include "test_gui_parts.moc"
