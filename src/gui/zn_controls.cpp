#include "gui/zn_controls.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <cmath>

#include "gui/default_center.h"

namespace marlowen::gui {

namespace {
constexpr int kImageInset = 3;  // points between the cell's edge and its picture
constexpr int kTextDrop = 5;    // points the text is moved down from the cell's top
}  // namespace

QRect ZNImageAndTextCell::imageRectForBounds(const QRect& bounds, const QSize& imageSize) {
    if (imageSize.isEmpty()) return {};
    const int y =
        bounds.y() + static_cast<int>(std::ceil((bounds.height() - imageSize.height()) / 2.0));
    return QRect(QPoint(bounds.x() + kImageInset, y), imageSize);
}

QRect ZNImageAndTextCell::titleRectForBounds(const QRect& bounds, const QSize& imageSize) {
    if (imageSize.isEmpty()) return {};
    const int strip = imageSize.width() + kImageInset;
    return QRect(bounds.x() + strip, bounds.y(), bounds.width() - strip, bounds.height());
}

QRect ZNImageAndTextCell::drawnImageRect(const QRect& frame, const QSize& imageSize) {
    if (imageSize.isEmpty()) return {};
    // The picture's lower edge sits at ceil((frame + picture height) / 2) - 1
    // below the frame's top, i.e. one point above the centred position.
    const int bottom =
        frame.y() + static_cast<int>(std::ceil((frame.height() + imageSize.height()) / 2.0)) - 1;
    return QRect(QPoint(frame.x() + kImageInset, bottom - imageSize.height()), imageSize);
}

QRect ZNImageAndTextCell::drawnTextRect(const QRect& frame, const QSize& imageSize) {
    QRect text = frame;
    if (!imageSize.isEmpty()) text.setLeft(frame.x() + imageSize.width() + kImageInset);
    text.setTop(text.top() + kTextDrop);
    return text;
}

QSize ZNImageAndTextCell::imageSizeOf(const QModelIndex& index, QPixmap* pixmap) {
    const QVariant decoration = index.data(Qt::DecorationRole);
    QPixmap picture;
    if (decoration.canConvert<QPixmap>()) picture = decoration.value<QPixmap>();
    if (pixmap) *pixmap = picture;
    return picture.isNull() ? QSize() : picture.deviceIndependentSize().toSize();
}

void ZNImageAndTextCell::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    QPixmap picture;
    const QSize imageSize = imageSizeOf(index, &picture);

    // Background and selection, without the default text and icon.
    opt.text.clear();
    opt.icon = QIcon();
    opt.features &= ~QStyleOptionViewItem::HasDecoration;
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    if (!picture.isNull()) painter->drawPixmap(drawnImageRect(option.rect, imageSize), picture);

    const QRect textRect = drawnTextRect(option.rect, imageSize).adjusted(2, 0, -2, 0);
    const QString text = index.data(Qt::DisplayRole).toString();
    painter->save();
    painter->setFont(opt.font);
    const bool selected = option.state & QStyle::State_Selected;
    painter->setPen(selected ? option.palette.color(QPalette::HighlightedText)
                             : option.palette.color(QPalette::Text));
    const QString shown = opt.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width());
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop, shown);
    painter->restore();
}

QSize ZNImageAndTextCell::sizeHint(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QSize imageSize = imageSizeOf(index);
    QSize base = opt.fontMetrics.size(Qt::TextSingleLine, opt.text) + QSize(4, kTextDrop + 4);
    base.rwidth() += imageSize.isEmpty() ? kImageInset : imageSize.width() + kImageInset;
    base.setHeight(std::max(base.height(), imageSize.height() + 4));
    return base;
}

void ZNImageAndTextCell::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                              const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    const QSize imageSize = imageSizeOf(index);
    opt.rect.setLeft(opt.rect.left() + (imageSize.isEmpty() ? 0 : imageSize.width() + kImageInset));
    QStyledItemDelegate::updateEditorGeometry(editor, opt, index);
}

ZNTextView::ZNTextView(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setContextMenuPolicy(Qt::PreventContextMenu);
}

void ZNTextView::mousePressEvent(QMouseEvent* event) {
    event->accept();
}
void ZNTextView::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
}
void ZNTextView::keyPressEvent(QKeyEvent* event) {
    event->accept();
}
void ZNTextView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}

ZNFeedBackView::ZNFeedBackView(QWidget* parent) : QPlainTextEdit(parent) {}

QString ZNFeedBackView::windowPlaceholder() {
    return tr("Provide any suggestions or problems to us.");
}
QString ZNFeedBackView::sheetPlaceholder() {
    return tr("write something.");
}

void ZNFeedBackView::setLook(const QColor& colour) {
    QFont font = QApplication::font();
    font.setPointSize(13);
    setFont(font);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Text, colour);
    setPalette(palette);
}

void ZNFeedBackView::showPlaceholder(const QString& placeholder) {
    setPlainText(placeholder);
    setLook(Qt::gray);
}

QColor ZNFeedBackView::textColour() const {
    return palette().color(QPalette::Text);
}

void ZNFeedBackView::mousePressEvent(QMouseEvent* event) {
    const QString text = toPlainText();
    if (text == windowPlaceholder() || text == sheetPlaceholder()) {
        clear();
        setLook(Qt::black);
    }
    QPlainTextEdit::mousePressEvent(event);
}

QColor ZNView::fillColour() {
    return QColor::fromRgbF(1.0f / 3, 1.0f / 3, 1.0f / 3, 1.0f);
}

void ZNView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), fillColour());
}

ZNButton::ZNButton(QWidget* parent) : QPushButton(parent), nc_(&defaultCenter()) {
    setAttribute(Qt::WA_Hover);
}

void ZNButton::enterEvent(QEnterEvent* event) {
    QPushButton::enterEvent(event);
    nc_->postNotificationName(kZNbuttonMouseEntered, this);
}

void ZNButton::leaveEvent(QEvent* event) {
    QPushButton::leaveEvent(event);
    nc_->postNotificationName(kZNbuttonMouseExited, this);
}

}  // namespace marlowen::gui
