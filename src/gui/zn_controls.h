// Small widgets of the window: a delegate that draws a picture before the
// text, a text view that ignores the user, a grey background and a button
// that announces the pointer entering and leaving it.
#pragma once

#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTextEdit>
#include <QWidget>

namespace marlowen {
class NotificationCenter;
}

namespace marlowen::gui {

// Draws the item's decoration picture, 3 points in from the left, then the
// text in the rest of the cell. Without a picture the whole cell holds text.
class ZNImageAndTextCell : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Geometry of one cell with a picture of `imageSize` (an empty size means
    // no picture); the rectangles follow the cell's bounds.
    static QRect imageRectForBounds(const QRect& bounds, const QSize& imageSize);
    static QRect titleRectForBounds(const QRect& bounds, const QSize& imageSize);
    // Where the picture is drawn in a cell frame: one point above centre.
    static QRect drawnImageRect(const QRect& frame, const QSize& imageSize);
    // The part of the frame the text is drawn in: right of the picture,
    // 5 points down from the top.
    static QRect drawnTextRect(const QRect& frame, const QSize& imageSize);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

private:
    static QSize imageSizeOf(const QModelIndex& index, QPixmap* pixmap = nullptr);
};

// A text view whose text only the program sets: clicks, keys and the
// context menu do nothing; scrolling still works.
class ZNTextView : public QTextEdit {
    Q_OBJECT
public:
    explicit ZNTextView(QWidget* parent = nullptr);
    void setString(const QString& text) { setPlainText(text); }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

// The suggestion view of the two feedback forms. They show a placeholder in
// grey until the user clicks into them: a click while the whole text is one
// of the two placeholders empties the view and turns its text black; any
// other text is left alone.
class ZNFeedBackView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit ZNFeedBackView(QWidget* parent = nullptr);

    // "Provide any suggestions or problems to us." and "write something.".
    static QString windowPlaceholder();
    static QString sheetPlaceholder();
    // Shows `placeholder` in the 13-point system font, grey.
    void showPlaceholder(const QString& placeholder);
    // The colour of the text.
    QColor textColour() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void setLook(const QColor& colour);
};

// A plain grey background.
class ZNView : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    static QColor fillColour();

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Posts "ZNbuttonMouseEntered" and "ZNbuttonMouseExited" with itself as the
// object when the pointer enters and leaves it.
class ZNButton : public QPushButton {
    Q_OBJECT
public:
    explicit ZNButton(QWidget* parent = nullptr);
    void setNotificationCenter(NotificationCenter& nc) { nc_ = &nc; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    NotificationCenter* nc_;
};

}  // namespace marlowen::gui
